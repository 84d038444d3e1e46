// MP3 files written byte by byte for the MPEG parser's tests, also in forms
// TagLib would not write: ID3v2 frames and tags of each version, ID3v1 tags,
// audio frames.
#ifndef LYPARSER_TESTS_PARSERS_MPEG_ID3_BUILDERS_H
#define LYPARSER_TESTS_PARSERS_MPEG_ID3_BUILDERS_H

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/samples/mpeg_sample.h"

inline Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// `value` as `bytes` big-endian bytes, with `syncSafe` seven bits to a byte.
inline void Put(Bytes* out, uint32_t value, int bytes, bool syncSafe) {
    for (int i = bytes - 1; i >= 0; --i)
        out->push_back((syncSafe ? value >> 7 * i & 0x7F : value >> 8 * i) & 0xFF);
}

// One ID3v2 frame of tag version `major` (2: three-letter id and 3-byte size;
// 3: 4-byte size; 4: sync-safe size) around `body`; 2.3 and 2.4 frames carry
// the two flag bytes `flags`.
inline Bytes Frame(int major, const std::string& id, const Bytes& body, uint32_t flags = 0) {
    Bytes out = TextBytes(id);
    Put(&out, static_cast<uint32_t>(body.size()), major == 2 ? 3 : 4, major == 4);
    if (major > 2) Put(&out, flags, 2, false);
    return Concat({out, body});
}

// A Latin-1 text frame in a tag of version `v`.
inline Bytes Text(int v, const std::string& id, const std::string& s, uint32_t flags = 0) {
    return Frame(v, id, Concat({{0}, TextBytes(s)}), flags);
}

// COMM/USLT: Latin-1, `language`, empty description, the text.
inline Bytes Commented(int major, const std::string& id, const std::string& text,
                       const std::string& language = "eng") {
    return Frame(major, id, Concat({{0}, TextBytes(language), {0}, TextBytes(text)}));
}

// A 2.3 APIC: Latin-1, `mime`, picture `type`, `description`, the data.
inline Bytes Picture(const std::string& mime, const std::string& description, const Bytes& data,
                     unsigned char type = 3) {
    return Frame(3, "APIC",
                 Concat({{0}, TextBytes(mime), {0, type}, TextBytes(description), {0}, data}));
}

// An ID3v2.`major` tag: `frames`, then `padding` zero bytes.
inline Bytes Tag(int major, const std::vector<Bytes>& frames, size_t padding = 0) {
    Bytes body = Concat(frames);
    body.resize(body.size() + padding, 0);
    Bytes out = {'I', 'D', '3', static_cast<unsigned char>(major), 0, 0};
    Put(&out, static_cast<uint32_t>(body.size()), 4, true);
    return Concat({out, body});
}

inline Bytes Id3v1(const std::string& title) { return MakeId3v1Tag(title, "", "", "", "", 0, 255); }

// `count` frames of 128 kbit/s MPEG-1 Layer III, 417 bytes each.
inline Bytes Mp3Frames(int count = 20) {
    return MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, count);
}

inline Bytes WithAudio(const Bytes& tag) { return Concat({tag, Mp3Frames(10)}); }

inline bool Contains(const Bytes& data, const Bytes& part) {
    return std::search(data.begin(), data.end(), part.begin(), part.end()) != data.end();
}

#endif  // LYPARSER_TESTS_PARSERS_MPEG_ID3_BUILDERS_H
