#include "parsers/ogg/ogg_page.h"

#include <ogg/ogg.h>

#include <array>
#include <cstring>

#include "core/little_endian.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define LY_OGG_CLMUL 1
#endif

namespace {

// The checksum: CRC-32 over the page with its checksum field zero,
// polynomial 0x04C11DB7, most significant bit first, starting at 0, not
// inverted.
constexpr uint64_t kPolynomial = 0x104C11DB7;
constexpr size_t kChecksumAt = 22;

struct CrcTable {
    std::array<uint32_t, 256> entries;
    CrcTable() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) r = (r << 1) ^ (r & 0x80000000u ? 0x04C11DB7u : 0);
            entries[i] = r;
        }
    }
};

uint32_t TableCrc(uint32_t crc, const unsigned char* data, size_t size) {
    static const CrcTable table;
    for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table.entries[(crc >> 24) ^ data[i]];
    return crc;
}

#ifdef LY_OGG_CLMUL
// x^n mod the polynomial.
uint64_t PowerMod(int n) {
    uint64_t r = 1;
    for (int i = 0; i < n; ++i) {
        r <<= 1;
        if (r & (uint64_t{1} << 32)) r ^= kPolynomial;
    }
    return r;
}

#define LY_CLMUL_TARGET __attribute__((target("pclmul,ssse3")))

LY_CLMUL_TARGET inline __m128i Reversed(__m128i x) {
    return _mm_shuffle_epi8(x, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

// 16 bytes as a polynomial, the first byte's first bit its highest term.
LY_CLMUL_TARGET inline __m128i Block(const unsigned char* at) {
    return Reversed(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
}

// x times the power of x whose remainders `k` holds (for its high and low
// halves), as a polynomial of fewer than 128 terms congruent to it.
LY_CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), _mm_clmulepi64_si128(x, k, 0x00));
}

// The body's blocks are folded 128 bits at a time (four lanes, 512 bits
// apart) with carry-less multiplication into one 128-bit value congruent to
// them; its bytes and the rest go through the table. `crc`, the checksum of
// what precedes the body, enters through the body's first 32 bits.
LY_CLMUL_TARGET uint32_t FoldedCrc(uint32_t crc, const unsigned char* p, size_t size) {
    static const __m128i k128 =
        _mm_set_epi64x(static_cast<int64_t>(PowerMod(192)), static_cast<int64_t>(PowerMod(128)));
    static const __m128i k512 =
        _mm_set_epi64x(static_cast<int64_t>(PowerMod(576)), static_cast<int64_t>(PowerMod(512)));
    __m128i lane[4] = {Block(p), Block(p + 16), Block(p + 32), Block(p + 48)};
    lane[0] = _mm_xor_si128(lane[0], _mm_set_epi32(static_cast<int>(crc), 0, 0, 0));
    p += 64;
    size -= 64;
    for (; size >= 64; p += 64, size -= 64) {
        for (int i = 0; i < 4; ++i) lane[i] = _mm_xor_si128(Fold(lane[i], k512), Block(p + 16 * i));
    }
    __m128i x = lane[0];
    for (int i = 1; i < 4; ++i) x = _mm_xor_si128(Fold(x, k128), lane[i]);
    for (; size >= 16; p += 16, size -= 16) x = _mm_xor_si128(Fold(x, k128), Block(p));
    alignas(16) unsigned char folded[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(folded), Reversed(x));
    return TableCrc(TableCrc(0, folded, 16), p, size);
}

bool CanFold() {
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
    return can;
}
#endif

// The checksum of the page made of `header` (its checksum field taken as 0)
// and `body`.
uint32_t PageChecksum(const unsigned char* header, size_t headerLength, const unsigned char* body,
                      size_t bodyLength) {
    unsigned char copy[kOggHeaderBase + kOggMaxSegments];
    std::memcpy(copy, header, headerLength);
    std::memset(copy + kChecksumAt, 0, 4);
#ifdef LY_OGG_CLMUL
    if (CanFold() && bodyLength >= 64) {
        return FoldedCrc(TableCrc(0, copy, headerLength), body, bodyLength);
    }
#endif
    ogg_page page{copy, static_cast<long>(headerLength), const_cast<unsigned char*>(body),
                  static_cast<long>(bodyLength)};
    ogg_page_checksum_set(&page);
    return static_cast<uint32_t>(LittleEndian(copy + kChecksumAt, 4));
}

void PutLittle(unsigned char* at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
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
    if (PageChecksum(data, headerLength, data + headerLength, bodyLength) !=
        LittleEndian(data + kChecksumAt, 4)) {
        return OggPageRead::kNone;
    }
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
    PutLittle(header + kChecksumAt, PageChecksum(header, headerLength, bodyBytes, body.size()), 4);
    std::string bytes(reinterpret_cast<const char*>(header), headerLength);
    return bytes + body;
}

void RenumberOggPage(unsigned char* page, size_t size, uint32_t sequence) {
    PutLittle(page + 18, sequence, 4);
    const size_t headerLength = kOggHeaderBase + page[26];
    PutLittle(page + kChecksumAt,
              PageChecksum(page, headerLength, page + headerLength, size - headerLength), 4);
}
