// Ogg Vorbis fixtures for the tests: real streams encoded with libvorbisenc
// (tone length, rate, channels and comments chosen per test), hand-made
// comment headers (any vendor, raw entries), chained files, a setup marker
// placed at a chosen offset, and the checks that read a result back on their
// own: PCM through libvorbisfile, page checksums and granules through libogg,
// comments through python3-mutagen.
#ifndef LYPARSER_TESTS_SUPPORT_OGG_FIXTURES_H
#define LYPARSER_TESTS_SUPPORT_OGG_FIXTURES_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

struct OggFixture {
    double seconds = 0.5;
    int rate = 22050;
    int channels = 2;
    std::vector<std::string> comments;  // raw comment texts, "NAME=value" or anything
    std::string vendor;                 // empty: the encoder's own vendor string
    uint32_t serial = 0x1234abcd;
    int packetsPerPage = 0;  // 0: paged as an encoder does; N: a page every N packets
};

// A whole Ogg Vorbis file. The comment header is hand-made from `vendor` and
// `comments` when a vendor is given, else written by libvorbis.
Bytes MakeOgg(const OggFixture& fixture);

// MakeOgg with the comment and setup headers cut into pages that carry at
// most `bodyPerPage` bytes each (packets continued across pages), as some
// muxers write them; the audio pages follow, renumbered.
Bytes MakeOggWithSmallHeaderPages(const OggFixture& fixture, size_t bodyPerPage);

// The bytes of a comment header packet with these raw entries.
Bytes CommentPacketBytes(const std::string& vendor, const std::vector<std::string>& comments);

// Recomputes the checksum of the page starting at `at`, after a test changed it.
void SetPageChecksum(Bytes* data, size_t at);

// Offset of the first setup-header marker ("vorbis", one byte, "BCV"), or -1.
long FindSetupMarker(const Bytes& data);

// The exact granule position of every audio packet of MakeOgg(fixture), as
// the encoder counted it: every page of a correct stream ends on one of them.
std::vector<int64_t> PacketGranules(const OggFixture& fixture);

// A file whose setup-header marker starts exactly at `offset` (grown through
// a padding comment); empty when no padding reaches it.
Bytes OggWithMarkerAt(long offset);

// What libogg finds in a file, page by page.
struct OggPageReport {
    int pages = 0;
    int badPages = 0;          // pages dropped for a wrong checksum or damage
    int streams = 0;           // logical streams begun
    bool granulesRise = true;  // granules never decrease within a stream
    bool lastPageEnds = false;
    std::vector<int64_t> granules;  // of every page that ends a packet, in order
};
OggPageReport InspectPages(const Bytes& data);

// The interleaved 16-bit PCM samples of the file's first logical stream (all
// streams of a chained file); false when libvorbisfile cannot read it.
bool DecodePcm(const std::string& path, std::vector<int16_t>* samples);

// The vendor and "name=value" comments as mutagen reads them.
struct MutagenTags {
    bool ok = false;
    std::string vendor;
    std::vector<std::string> comments;
};
MutagenTags ReadWithMutagen(const std::string& path);

// The comment texts in the file's header, read back with libvorbis.
std::vector<std::string> ReadCommentTexts(const std::string& path, std::string* vendor = nullptr);

#endif  // LYPARSER_TESTS_SUPPORT_OGG_FIXTURES_H
