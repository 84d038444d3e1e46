// Ogg pages as bytes: reading one from a buffer (its checksum checked), and
// writing one or renumbering one with a fresh checksum. The checksum is
// libogg's. No state; thread-safe.
#ifndef LYPARSER_PARSERS_OGG_OGG_PAGE_H
#define LYPARSER_PARSERS_OGG_OGG_PAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Header flags.
constexpr int kOggContinued = 1;  // the first segment continues a packet
constexpr int kOggBegins = 2;     // the stream's first page
constexpr int kOggEnds = 4;       // the stream's last page
constexpr size_t kOggHeaderBase = 27;
constexpr size_t kOggMaxSegments = 255;
constexpr size_t kOggMaxPage = kOggHeaderBase + kOggMaxSegments + kOggMaxSegments * 255;

// One page inside a caller's buffer; the pointers live as long as the buffer.
struct OggPage {
    const unsigned char* header = nullptr;
    size_t headerLength = 0;
    const unsigned char* body = nullptr;
    size_t bodyLength = 0;
    int flags = 0;
    int64_t granule = -1;
    uint32_t serial = 0;
    uint32_t sequence = 0;
    const unsigned char* lacing = nullptr;  // `segments` values
    int segments = 0;

    size_t Size() const { return headerLength + bodyLength; }
};

enum class OggPageRead {
    kPage,   // a whole page with a right checksum
    kShort,  // the bytes end inside something that may be a page
    kNone,   // no page starts here
};

// Reads the page that starts at `data`.
OggPageRead ReadOggPage(const unsigned char* data, size_t size, OggPage* page);

// The bytes of a page holding `lacing` (at most 255 values) and `body`,
// their sum, with its checksum.
std::string OggPageBytes(int flags, int64_t granule, uint32_t serial, uint32_t sequence,
                         const std::vector<unsigned char>& lacing, const std::string& body);

// Gives the whole page at `page` (`size` bytes) the sequence number
// `sequence` and the checksum that goes with it.
void RenumberOggPage(unsigned char* page, size_t size, uint32_t sequence);

#endif  // LYPARSER_PARSERS_OGG_OGG_PAGE_H
