// Writes Windows Media files of several shapes, as seeds for wma_fuzz.
#include <fstream>
#include <string>
#include <vector>

#include "tools/samples/wma_sample.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    using asf::Attribute;
    using asf::Place;
    std::vector<asf::FileSpec> specs(5);
    specs[0].packets = 2;
    specs[1].hasContentDescription = true;
    specs[1].content = {u"Title", u"Artist", u"(c)", u"Comment", u"Rating"};
    specs[1].attributes = {Attribute::Text(u"WM/AlbumTitle", u"Album"),
                           Attribute::Text(u"WM/Composer", u"One", Place::kMetadata),
                           Attribute::Text(u"WM/Composer", u"Two", Place::kMetadataLibrary),
                           Attribute::Text(u"WM/Mood", u"calm", Place::kMetadata, 1),
                           Attribute::Dword(u"WM/TrackNumber", 3)};
    specs[1].indexObject = true;
    specs[2].contentEncryption = true;
    specs[2].extendedContentEncryption = true;
    specs[3].dataObject = false;
    specs[4].packets = 1;
    specs[4].attributes = {Attribute::Text(u"DRM_LicenseAcqURL", u"http://example/licence")};
    int index = 0;
    for (const auto& spec : specs) {
        std::vector<unsigned char> bytes = asf::MakeFile(spec);
        std::ofstream(std::string(argv[1]) + "/seed" + std::to_string(index++) + ".wma", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    return 0;
}
