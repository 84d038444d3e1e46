#include "tools/samples/flac_sample.h"

#include <cstdint>

namespace {

void Append(SampleBytes* to, const SampleBytes& bytes) {
    to->insert(to->end(), bytes.begin(), bytes.end());
}

void AppendText(SampleBytes* to, const std::string& text) {
    to->insert(to->end(), text.begin(), text.end());
}

void Put(SampleBytes* to, uint32_t value, int bytes, bool bigEndian) {
    for (int i = 0; i < bytes; ++i)
        to->push_back(static_cast<unsigned char>(value >> (8 * (bigEndian ? bytes - 1 - i : i))));
}

}  // namespace

SampleBytes NoiseBytes(size_t count, unsigned seed) {
    SampleBytes bytes(count);
    uint32_t state = seed;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<unsigned char>(state >> 24);
    }
    return bytes;
}

SampleBytes FlacComments(const std::vector<std::string>& comments) {
    SampleBytes data;
    Put(&data, 6, 4, false);
    AppendText(&data, "vendor");
    Put(&data, static_cast<uint32_t>(comments.size()), 4, false);
    for (const std::string& comment : comments) {
        Put(&data, static_cast<uint32_t>(comment.size()), 4, false);
        AppendText(&data, comment);
    }
    return data;
}

SampleBytes FlacPicture(int type, const std::string& mimeType, const SampleBytes& image) {
    SampleBytes data;
    Put(&data, static_cast<uint32_t>(type), 4, true);
    Put(&data, static_cast<uint32_t>(mimeType.size()), 4, true);
    AppendText(&data, mimeType);
    data.resize(data.size() + 4 + 16, 0);  // no description; size and colours unknown
    Put(&data, static_cast<uint32_t>(image.size()), 4, true);
    Append(&data, image);
    return data;
}

SampleBytes MakeFlac(const std::vector<FlacBlock>& blocks, size_t audioBytes,
                     const SampleBytes& tail) {
    // Block sizes 4096, 44100 Hz, 2 channels, 16 bits, 176400 samples.
    SampleBytes streamInfo = {0x10, 0,    0x10, 0,    0,    0, 0,    0,    0,
                              0,    0x0A, 0xC4, 0x42, 0xF0, 0, 0x02, 0xB1, 0x10};
    streamInfo.resize(34, 0);
    std::vector<FlacBlock> all = {{0, streamInfo}};
    all.insert(all.end(), blocks.begin(), blocks.end());
    SampleBytes file;
    AppendText(&file, "fLaC");
    for (size_t i = 0; i < all.size(); ++i) {
        file.push_back(static_cast<unsigned char>(all[i].type | (i + 1 == all.size() ? 0x80 : 0)));
        Put(&file, static_cast<uint32_t>(all[i].data.size()), 3, true);
        Append(&file, all[i].data);
    }
    Append(&file, NoiseBytes(audioBytes));
    Append(&file, tail);
    return file;
}
