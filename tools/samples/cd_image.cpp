#include "tools/samples/cd_image.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr int kFrameBytes = 2352;

std::string Msf(int frames) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / (75 * 60), frames / 75 % 60,
                  frames % 75);
    return text;
}

}  // namespace

std::string MakeCdImage(const std::string& folder, const std::string& name,
                        const std::vector<int>& trackFrames) {
    std::ofstream bin(folder + "/" + name + ".bin", std::ios::binary | std::ios::trunc);
    std::ofstream cue(folder + "/" + name + ".cue", std::ios::trunc);
    cue << "FILE \"" << name << ".bin\" BINARY\n";
    const std::vector<char> silence(kFrameBytes, 0);
    int start = 0;
    for (size_t track = 0; track < trackFrames.size(); ++track) {
        char number[24];
        std::snprintf(number, sizeof number, "%02zu", track + 1);
        cue << "  TRACK " << number << " AUDIO\n    INDEX 01 " << Msf(start) << "\n";
        for (int frame = 0; frame < trackFrames[track]; ++frame)
            bin.write(silence.data(), kFrameBytes);
        start += trackFrames[track];
    }
    bin.close();
    cue.close();
    return bin && cue ? folder + "/" + name + ".cue" : std::string();
}
