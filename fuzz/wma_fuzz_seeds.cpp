// Writes Windows Media files of several shapes, as seeds for wma_fuzz.
#include <fstream>
#include <string>
#include <vector>

#include "tools/samples/wma_sample.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    using asf::Attribute;
    using asf::Place;
    std::vector<asf::FileLayout> layouts(5);
    layouts[0].packets = 2;
    layouts[1].hasContentDescription = true;
    layouts[1].content = {u"Title", u"Artist", u"(c)", u"Comment", u"Rating"};
    layouts[1].attributes = {Attribute::Text(u"WM/AlbumTitle", u"Album"),
                             Attribute::Text(u"WM/Composer", u"One", Place::kMetadata),
                             Attribute::Text(u"WM/Composer", u"Two", Place::kMetadataLibrary),
                             Attribute::Text(u"WM/Mood", u"calm", Place::kMetadata, 1),
                             Attribute::Dword(u"WM/TrackNumber", 3)};
    layouts[1].indexObject = true;
    layouts[2].contentEncryption = true;
    layouts[2].extendedContentEncryption = true;
    layouts[3].dataObject = false;
    layouts[4].packets = 1;
    layouts[4].attributes = {Attribute::Text(u"DRM_LicenseAcqURL", u"http://example/licence")};
    int index = 0;
    for (const auto& layout : layouts) {
        std::vector<unsigned char> bytes = asf::MakeFile(layout);
        std::ofstream(std::string(argv[1]) + "/seed" + std::to_string(index++) + ".wma",
                      std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    return 0;
}
