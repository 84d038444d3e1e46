// Writes the seed corpus of the Ogg fuzz targets into the folder named by its
// argument: real Ogg Vorbis streams (mono, stereo, six channels, chained,
// commented) made with libvorbisenc, and their first kilobytes as images;
// Opus streams made from code (a picture, padding, data kept behind the
// comments, chained) and the Opus files the tests use.
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/samples/flac_sample.h"
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
        OggSampleLayout sample;
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
    OpusSampleLayout opus;
    opus.seconds = 0.5;
    opus.comments = {"TITLE=Seed", "ARTIST=Fuzz", "DESCRIPTION=d", "bare"};
    Save(folder + "/opus", MakeOggOpus(opus));
    const SampleBytes picture =
        FlacPicture(3, "image/png", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0});
    std::string encoded = "METADATA_BLOCK_PICTURE=";
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i + 3 <= picture.size(); i += 3) {
        const unsigned group = picture[i] << 16 | picture[i + 1] << 8 | picture[i + 2];
        for (int j = 3; j >= 0; --j) encoded += kDigits[(group >> (6 * j)) & 63];
    }
    opus.comments.push_back(encoded);
    opus.tagsTail = OggBytes(300, 0);
    Save(folder + "/opus-picture-padded", MakeOggOpus(opus));
    opus.tagsTail = {1, 'k', 'e', 'e', 'p'};
    opus.channels = 1;
    OggBytes chained = MakeOggOpus(opus);
    opus.serial = 78;
    const OggBytes second = MakeOggOpus(opus);
    chained.insert(chained.end(), second.begin(), second.end());
    Save(folder + "/opus-chained", chained);
    for (const char* name : {"taglib-correctness_gain_silent_output.opus", "mutagen-example.opus",
                             "taglib-multiplex.ogg"}) {
        std::ifstream in(std::string(LY_TEST_DATA) + "/" + name, std::ios::binary);
        std::ofstream(folder + "/" + name, std::ios::binary) << in.rdbuf();
    }
    return 0;
}
