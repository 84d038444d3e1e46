// Ogg fixtures for the tests: real Vorbis streams encoded with libvorbisenc
// (tone length, rate, channels and comments chosen per test), hand-made
// comment headers and pictures, and the checks that read a result back on
// their own: PCM and comments through libvorbisfile, pages through libogg.
// Opus files come from tools/samples (MakeOggOpus).
#ifndef LYPARSER_TESTS_SUPPORT_OGG_FIXTURES_H
#define LYPARSER_TESTS_SUPPORT_OGG_FIXTURES_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/samples/ogg_sample.h"

struct OggFixture {
    double seconds = 0.5;
    int rate = 22050;
    int channels = 2;
    std::vector<std::string> comments;  // raw comment texts, "NAME=value" or anything
    std::string vendor = "Xiph.Org libVorbis I 20200704 (Reducing Environment)";  // the current one
    uint32_t serial = 0x1234abcd;
};

// A whole Ogg Vorbis file with a hand-made comment header.
Bytes MakeOgg(const OggFixture& fixture);

// The bytes of a comment header packet with these raw entries.
Bytes CommentPacketBytes(const std::string& vendor, const std::vector<std::string>& comments);

// `a` followed by `b`.
inline Bytes Concat(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

// Offset of the first setup-header marker ("vorbis", one byte, "BCV"), or -1.
long FindSetupMarker(const Bytes& data);

// What libogg finds in a file, page by page: the good pages and those it
// drops for a wrong checksum or damage; whether each stream's pages are
// numbered 0, 1, 2, ... and its granules never decrease; whether the last
// page ends its stream.
struct OggPageReport {
    int pages = 0, badPages = 0;
    bool numbered = true, granulesRise = true, lastPageEnds = false;
};
OggPageReport InspectPages(const Bytes& data);

// One good page as libogg finds it.
struct OggPageCopy {
    int serial = 0;
    long sequence = 0;
    int64_t granule = 0;
    int flags = 0;  // continued 1, first 2, last 4
    Bytes body;
};
std::vector<OggPageCopy> PagesOf(const Bytes& data);

// A METADATA_BLOCK_PICTURE comment holding `image` as a picture of `type`
// with `description` (under 256 bytes).
std::string PictureComment(int type, const std::string& mimeType, const Bytes& image,
                           const std::string& description = "");

// What libvorbisfile reads back from a file: the first stream's vendor then
// its comment texts, and the interleaved 16-bit PCM samples of every stream.
struct OggReadBack {
    std::vector<std::string> texts;
    std::vector<int16_t> pcm;
    bool complete = false;  // read to the end without error
};
OggReadBack ReadBack(const std::string& path);

#endif  // LYPARSER_TESTS_SUPPORT_OGG_FIXTURES_H
