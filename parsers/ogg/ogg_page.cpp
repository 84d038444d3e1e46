#include "parsers/ogg/ogg_page.h"

#include <ogg/ogg.h>

#include <cstring>

#include "core/little_endian.h"

namespace {

void PutLittle(unsigned char* at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Writes the checksum of the page made of `header` and `body` into `header`.
void SetChecksum(unsigned char* header, size_t headerLength, const unsigned char* body,
                 size_t bodyLength) {
    ogg_page page{header, static_cast<long>(headerLength), const_cast<unsigned char*>(body),
                  static_cast<long>(bodyLength)};
    ogg_page_checksum_set(&page);
}

}  // namespace

OggPageRead ReadOggPage(const unsigned char* data, size_t size, OggPage* page) {
    static const unsigned char kCapture[] = {'O', 'g', 'g', 'S', 0};
    const size_t known = size < sizeof kCapture ? size : sizeof kCapture;
    if (std::memcmp(data, kCapture, known) != 0) return OggPageRead::kNone;
    if (size < kOggHeaderBase) return OggPageRead::kShort;
    const int segments = data[26];
    const size_t headerLength = kOggHeaderBase + static_cast<size_t>(segments);
    if (size < headerLength) return OggPageRead::kShort;
    size_t bodyLength = 0;
    for (int i = 0; i < segments; ++i) bodyLength += data[kOggHeaderBase + static_cast<size_t>(i)];
    if (size - headerLength < bodyLength) return OggPageRead::kShort;
    unsigned char header[kOggHeaderBase + kOggMaxSegments];
    std::memcpy(header, data, headerLength);
    SetChecksum(header, headerLength, data + headerLength, bodyLength);
    if (std::memcmp(header + 22, data + 22, 4) != 0) return OggPageRead::kNone;
    page->header = data;
    page->headerLength = headerLength;
    page->body = data + headerLength;
    page->bodyLength = bodyLength;
    page->flags = data[5];
    page->granule = static_cast<int64_t>(LittleEndian(data + 6, 8));
    page->serial = static_cast<uint32_t>(LittleEndian(data + 14, 4));
    page->sequence = static_cast<uint32_t>(LittleEndian(data + 18, 4));
    page->lacing = data + kOggHeaderBase;
    page->segments = segments;
    return OggPageRead::kPage;
}

std::string OggPageBytes(int flags, int64_t granule, uint32_t serial, uint32_t sequence,
                         const std::vector<unsigned char>& lacing, const std::string& body) {
    unsigned char header[kOggHeaderBase + kOggMaxSegments] = {'O', 'g', 'g', 'S', 0};
    header[5] = static_cast<unsigned char>(flags);
    PutLittle(header + 6, static_cast<uint64_t>(granule), 8);
    PutLittle(header + 14, serial, 4);
    PutLittle(header + 18, sequence, 4);
    header[26] = static_cast<unsigned char>(lacing.size());
    std::memcpy(header + kOggHeaderBase, lacing.data(), lacing.size());
    const size_t headerLength = kOggHeaderBase + lacing.size();
    const auto* bodyBytes = reinterpret_cast<const unsigned char*>(body.data());
    SetChecksum(header, headerLength, bodyBytes, body.size());
    std::string bytes(reinterpret_cast<const char*>(header), headerLength);
    return bytes + body;
}

void RenumberOggPage(unsigned char* page, size_t size, uint32_t sequence) {
    PutLittle(page + 18, sequence, 4);
    const size_t headerLength = kOggHeaderBase + page[26];
    SetChecksum(page, headerLength, page + headerLength, size - headerLength);
}
