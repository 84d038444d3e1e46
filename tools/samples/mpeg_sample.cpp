#include "tools/samples/mpeg_sample.h"

#include <algorithm>

namespace {

void Append(MpegBytes* out, const MpegBytes& more) {
    out->insert(out->end(), more.begin(), more.end());
}

void AppendText(MpegBytes* out, const std::string& text) {
    out->insert(out->end(), text.begin(), text.end());
}

// `text` in a field of `size` bytes, zero padded.
void AppendField(MpegBytes* out, const std::string& text, size_t size) {
    std::string field = text.substr(0, std::min(text.size(), size));
    AppendText(out, field);
    out->resize(out->size() + (size - field.size()), 0);
}

void AppendSyncSafe(MpegBytes* out, uint32_t value) {
    for (int shift = 21; shift >= 0; shift -= 7)
        out->push_back(static_cast<unsigned char>((value >> shift) & 0x7F));
}

void AppendBigEndian(MpegBytes* out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<unsigned char>(value >> shift));
}

}  // namespace

MpegBytes MakeMpegFrames(uint32_t header, int frameLength, int count, uint32_t noiseSeed) {
    MpegBytes out;
    if (frameLength < 4) frameLength = 4;
    out.reserve(static_cast<size_t>(frameLength) * static_cast<size_t>(count));
    uint32_t state = noiseSeed;
    for (int i = 0; i < count; ++i) {
        AppendBigEndian(&out, header);
        for (int at = 4; at < frameLength; ++at) {
            state = state * 1664525u + 1013904223u;
            out.push_back(noiseSeed ? static_cast<unsigned char>(state >> 24) : 0);
        }
    }
    return out;
}

MpegBytes MakeId3v23Tag(const std::vector<std::pair<std::string, std::string>>& textFrames) {
    MpegBytes frames;
    for (const auto& frame : textFrames) {
        AppendText(&frames, frame.first.substr(0, 4));
        AppendBigEndian(&frames, static_cast<uint32_t>(frame.second.size() + 1));
        frames.push_back(0);  // flags
        frames.push_back(0);
        frames.push_back(0);  // Latin-1
        AppendText(&frames, frame.second);
    }
    MpegBytes tag = {'I', 'D', '3', 3, 0, 0};
    AppendSyncSafe(&tag, static_cast<uint32_t>(frames.size()));
    Append(&tag, frames);
    return tag;
}

MpegBytes MakeId3v1Tag(const std::string& title, const std::string& artist,
                       const std::string& album, const std::string& year,
                       const std::string& comment, int track, int genre) {
    MpegBytes tag;
    AppendText(&tag, "TAG");
    AppendField(&tag, title, 30);
    AppendField(&tag, artist, 30);
    AppendField(&tag, album, 30);
    AppendField(&tag, year, 4);
    AppendField(&tag, comment, 28);
    tag.push_back(0);
    tag.push_back(static_cast<unsigned char>(track));
    tag.push_back(static_cast<unsigned char>(genre));
    return tag;
}

MpegBytes MakeMp3Sample() {
    MpegBytes out = MakeId3v23Tag({{"TIT2", "Morning Tone"},
                                   {"TPE1", "The Samples"},
                                   {"TALB", "Made From Code"},
                                   {"TYER", "2024"},
                                   {"TCON", "(52)"},
                                   {"TRCK", "1/3"}});
    // Two seconds: 44100 / 1152 frames per second.
    Append(&out, MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, 77));
    Append(&out, MakeId3v1Tag("Morning Tone", "The Samples", "Made From Code", "2024", "lytag demo",
                              1, 52));
    return out;
}
