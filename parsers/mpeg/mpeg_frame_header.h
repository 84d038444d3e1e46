// The four header bytes of an MPEG audio frame: sync test, frame length and
// where a Xing VBR header would stand. Pure functions, thread-safe.
#ifndef LYPARSER_PARSERS_MPEG_MPEG_FRAME_HEADER_H
#define LYPARSER_PARSERS_MPEG_MPEG_FRAME_HEADER_H

#include <cstdint>

struct MpegFrameHeader {
    unsigned char bytes[4] = {0, 0, 0, 0};

    // Eleven set bits: the start of a frame.
    static bool IsSync(unsigned char first, unsigned char second) {
        return first == 0xFF && (second & 0xE0) == 0xE0;
    }
    // Frame length in bytes, padding included; 0 for a header naming a
    // reserved version, layer, sample rate or a free/invalid bit rate.
    int FrameLength() const;
    // Offset of a Xing header from the frame start (Layer III only), or 0.
    int XingOffset() const;
    bool CrcProtected() const { return (bytes[1] & 0x01) == 0; }
    int Emphasis() const { return bytes[3] & 0x03; }
};

#endif  // LYPARSER_PARSERS_MPEG_MPEG_FRAME_HEADER_H
