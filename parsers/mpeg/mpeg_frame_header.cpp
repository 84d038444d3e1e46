#include "parsers/mpeg/mpeg_frame_header.h"

namespace {

// Bit rates in kbit/s by [MPEG-1 ? 0 : 1][layer - 1][index].
const int kBitRates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

// Sample rates by [version bits][index]; version bits 1 are reserved.
const int kSampleRates[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

struct Decoded {
    int versionBits, layer, bitRate, sampleRate, padding;
};

bool Decode(const unsigned char* b, Decoded* out) {
    if (!MpegFrameHeader::IsSync(b[0], b[1])) return false;
    out->versionBits = (b[1] >> 3) & 0x03;
    int layerBits = (b[1] >> 1) & 0x03;
    int rateIndex = (b[2] >> 2) & 0x03;
    if (out->versionBits == 1 || layerBits == 0 || rateIndex == 3) return false;
    out->layer = 4 - layerBits;
    out->bitRate = kBitRates[out->versionBits == 3 ? 0 : 1][out->layer - 1][b[2] >> 4] * 1000;
    out->sampleRate = kSampleRates[out->versionBits][rateIndex];
    out->padding = (b[2] >> 1) & 0x01;
    return out->bitRate > 0;
}

}  // namespace

int MpegFrameHeader::FrameLength() const {
    Decoded d;
    if (!Decode(bytes, &d)) return 0;
    if (d.layer == 1) return (12 * d.bitRate / d.sampleRate + d.padding) * 4;
    int factor = (d.layer == 3 && d.versionBits != 3) ? 72 : 144;
    return factor * d.bitRate / d.sampleRate + d.padding;
}

int MpegFrameHeader::XingOffset() const {
    Decoded d;
    if (!Decode(bytes, &d) || d.layer != 3) return 0;
    bool mono = (bytes[3] >> 6) == 3;
    int sideInfo = d.versionBits == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    return 4 + (CrcProtected() ? 2 : 0) + sideInfo;
}
