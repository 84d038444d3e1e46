#include "tools/samples/wav_sample.h"

#include <cmath>
#include <cstdint>

namespace {

void Put(std::vector<unsigned char>* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutTag(std::vector<unsigned char>* out, const char* tag) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<unsigned char>(tag[i]));
}

}  // namespace

std::vector<unsigned char> MakeWavTone(double seconds, int rate, int channels) {
    const uint32_t frames = static_cast<uint32_t>(seconds * rate);
    const uint32_t dataSize = frames * static_cast<uint32_t>(channels) * 2;
    std::vector<unsigned char> out;
    out.reserve(44 + dataSize);
    PutTag(&out, "RIFF");
    Put(&out, 36 + dataSize, 4);
    PutTag(&out, "WAVE");
    PutTag(&out, "fmt ");
    Put(&out, 16, 4);
    Put(&out, 1, 2);  // PCM
    Put(&out, static_cast<uint32_t>(channels), 2);
    Put(&out, static_cast<uint32_t>(rate), 4);
    Put(&out, static_cast<uint32_t>(rate * channels * 2), 4);
    Put(&out, static_cast<uint32_t>(channels * 2), 2);
    Put(&out, 16, 2);
    PutTag(&out, "data");
    Put(&out, dataSize, 4);
    const double kTwoPi = 6.283185307179586;
    for (uint32_t i = 0; i < frames; ++i) {
        auto sample = static_cast<int16_t>(8000 * std::sin(kTwoPi * 440.0 * i / rate));
        for (int c = 0; c < channels; ++c) Put(&out, static_cast<uint16_t>(sample), 2);
    }
    return out;
}
