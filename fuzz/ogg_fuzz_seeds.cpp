// Writes the seed corpus of the Ogg fuzz targets into the folder named by its
// argument: real Ogg Vorbis streams (mono, stereo, six channels, chained,
// commented) made with libvorbisenc, and their first kilobytes as images.
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/samples/ogg_sample.h"

namespace {

void Save(const std::string& path, const OggBytes& data, size_t limit = SIZE_MAX) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size() < limit ? data.size() : limit));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    int index = 0;
    for (int channels : {1, 2, 6}) {
        OggSampleSpec sample;
        sample.seconds = 0.3;
        sample.channels = channels;
        sample.comments = {"TITLE=Seed", "ARTIST=Fuzz", "bare", "=empty", "LYRICS=la"};
        OggBytes stream = MakeOggVorbis(sample);
        Save(folder + "/stream" + std::to_string(index), stream);
        Save(folder + "/start" + std::to_string(index), stream, 4096);
        if (channels == 2) {
            OggBytes chained = stream;
            sample.serial = 77;
            OggBytes second = MakeOggVorbis(sample);
            chained.insert(chained.end(), second.begin(), second.end());
            Save(folder + "/chained", chained);
        }
        ++index;
    }
    return 0;
}
