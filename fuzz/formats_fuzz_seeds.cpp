// Writes seeds for formats_fuzz and formats_save_fuzz: FLAC and MP4 files of
// several shapes made from code, a WAV tone, and the real files the tests
// use (WAV and AIFF with ID3v2 chunks, WavPack, Musepack, Monkey's Audio).
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/samples/flac_sample.h"
#include "tools/samples/mp4_sample.h"
#include "tools/samples/wav_sample.h"

namespace {

void Write(const std::string& folder, int index, const SampleBytes& bytes) {
    std::ofstream(folder + "/seed" + std::to_string(index), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string folder = argv[1];
    const SampleBytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0};
    SampleBytes id3v1 = {'T', 'A', 'G', 'v', '1'};
    id3v1.resize(128, 0);
    std::vector<SampleBytes> seeds = {
        MakeFlac({}, 64),
        MakeFlac({{4, FlacComments({"TITLE=t", "ARTIST=a", "ARTIST=b", "DESCRIPTION=d"})},
                  {6, FlacPicture(3, "image/png", png)},
                  {1, SampleBytes(64)}},
                 256, id3v1),
        MakeFlac(
            {{2, {'a', 'p', 'p', 'l'}}, {4, FlacComments({"COMMENT=c"})}, {4, FlacComments({})}},
            64),
        MakeWavTone(0.01),
    };
    for (const bool moovFirst : {true, false}) {
        Mp4Layout layout;
        layout.moovFirst = moovFirst;
        layout.offsetTable = moovFirst ? "stco" : "co64";
        layout.audioBytes = 256;
        layout.chunkBytes = 64;
        SampleBytes track = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 12, 0, 0};
        layout.items = {Mp4TextItem("\xA9nam", "t"), Mp4Atom("trkn", Mp4Atom("data", track)),
                        Mp4Atom("covr", Mp4Atom("data", SampleBytes({0, 0, 0, 14, 0, 0, 0, 0}))),
                        Mp4Atom("free", SampleBytes(16))};
        seeds.push_back(MakeMp4(layout));
    }
    int index = 0;
    for (const SampleBytes& seed : seeds) Write(folder, index++, seed);
    for (const char* name : {"silence-2s-PCM-16000-08-ID3v23.wav", "with-id3.aif",
                             "silence-44-s.wv", "click.mpc", "mac-399-id3v2.ape"}) {
        std::ifstream in(std::string(LY_TEST_DATA) + "/" + name, std::ios::binary);
        Write(folder, index++, SampleBytes(std::istreambuf_iterator<char>(in), {}));
    }
    return 0;
}
