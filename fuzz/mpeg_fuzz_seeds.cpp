// Writes MP3 files made by the sample builders, as seeds for mpeg_fuzz: tags
// of each kind, frame headers of several versions, layers and modes, a Xing
// header, and a cut file.
#include <fstream>
#include <string>
#include <vector>

#include "tools/samples/mpeg_sample.h"

namespace {

MpegBytes Join(const std::vector<MpegBytes>& parts) {
    MpegBytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

MpegBytes WithXing(MpegBytes frames) {
    const std::string xing("Xing\0\0\0\x01\0\0\0\x10", 12);
    std::copy(xing.begin(), xing.end(), frames.begin() + 36);
    return frames;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    MpegBytes frames = MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, 4);
    MpegBytes sample = MakeMp3Sample();
    const std::vector<MpegBytes> seeds = {
        sample,
        MpegBytes(sample.begin(), sample.begin() + static_cast<long>(sample.size() / 3)),
        frames,
        WithXing(frames),
        Join({MakeId3v23Tag({{"TIT2", "t"}, {"TCON", "(17)Rock"}, {"TRCK", "3/12"}}), frames}),
        Join({frames, MakeId3v1Tag("title", "artist", "album", "1999", "note", 3, 17)}),
        MakeMpegFrames(0xFFF3A4C4u, 288, 4),  // MPEG-2, mono, original bit
        MakeMpegFrames(0xFFFD9000u, 522, 4),  // Layer II
        MakeMpegFrames(0xFFFF9000u, 312, 4),  // Layer I
    };
    int index = 0;
    for (const auto& seed : seeds) {
        std::ofstream(std::string(argv[1]) + "/seed" + std::to_string(index++) + ".mp3",
                      std::ios::binary)
            .write(reinterpret_cast<const char*>(seed.data()),
                   static_cast<std::streamsize>(seed.size()));
    }
    return 0;
}
