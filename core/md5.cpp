// MD5 as RFC 1321 defines it, with the 64 steps written out so that the
// compiler keeps the four state words in registers.
#include "core/md5.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/platform_file.h"
#include "core/string_ex.h"

namespace {

inline uint32_t Rotl(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

inline uint32_t Load32(const unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}

#define LY_MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
// G's two terms share no bit, so they may be added: y & ~z then does not
// wait for x, the word the previous step just produced.
#define LY_MD5_G(x, y, z) (((x) & (z)) + ((y) & ~(z)))
#define LY_MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define LY_MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define LY_MD5_STEP(f, a, b, c, d, x, t, s) \
    a += f(b, c, d) + (x) + (t);            \
    a = Rotl(a, s) + (b)

}  // namespace

Md5::~Md5() { std::memset(buffer_, 0, sizeof buffer_); }

void Md5::Reset() {
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
    bits_ = 0;
}

void Md5::Transform(const unsigned char* block, size_t blocks) {
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (; blocks > 0; --blocks, block += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = Load32(block + 4 * i);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        LY_MD5_STEP(LY_MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
        LY_MD5_STEP(LY_MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
        LY_MD5_STEP(LY_MD5_F, c, d, a, b, x[2], 0x242070db, 17);
        LY_MD5_STEP(LY_MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
        LY_MD5_STEP(LY_MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
        LY_MD5_STEP(LY_MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
        LY_MD5_STEP(LY_MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
        LY_MD5_STEP(LY_MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
        LY_MD5_STEP(LY_MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
        LY_MD5_STEP(LY_MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
        LY_MD5_STEP(LY_MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
        LY_MD5_STEP(LY_MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
        LY_MD5_STEP(LY_MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
        LY_MD5_STEP(LY_MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
        LY_MD5_STEP(LY_MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
        LY_MD5_STEP(LY_MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

        LY_MD5_STEP(LY_MD5_G, a, b, c, d, x[1], 0xf61e2562, 5);
        LY_MD5_STEP(LY_MD5_G, d, a, b, c, x[6], 0xc040b340, 9);
        LY_MD5_STEP(LY_MD5_G, c, d, a, b, x[11], 0x265e5a51, 14);
        LY_MD5_STEP(LY_MD5_G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
        LY_MD5_STEP(LY_MD5_G, a, b, c, d, x[5], 0xd62f105d, 5);
        LY_MD5_STEP(LY_MD5_G, d, a, b, c, x[10], 0x02441453, 9);
        LY_MD5_STEP(LY_MD5_G, c, d, a, b, x[15], 0xd8a1e681, 14);
        LY_MD5_STEP(LY_MD5_G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
        LY_MD5_STEP(LY_MD5_G, a, b, c, d, x[9], 0x21e1cde6, 5);
        LY_MD5_STEP(LY_MD5_G, d, a, b, c, x[14], 0xc33707d6, 9);
        LY_MD5_STEP(LY_MD5_G, c, d, a, b, x[3], 0xf4d50d87, 14);
        LY_MD5_STEP(LY_MD5_G, b, c, d, a, x[8], 0x455a14ed, 20);
        LY_MD5_STEP(LY_MD5_G, a, b, c, d, x[13], 0xa9e3e905, 5);
        LY_MD5_STEP(LY_MD5_G, d, a, b, c, x[2], 0xfcefa3f8, 9);
        LY_MD5_STEP(LY_MD5_G, c, d, a, b, x[7], 0x676f02d9, 14);
        LY_MD5_STEP(LY_MD5_G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

        LY_MD5_STEP(LY_MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
        LY_MD5_STEP(LY_MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
        LY_MD5_STEP(LY_MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
        LY_MD5_STEP(LY_MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
        LY_MD5_STEP(LY_MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
        LY_MD5_STEP(LY_MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
        LY_MD5_STEP(LY_MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
        LY_MD5_STEP(LY_MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
        LY_MD5_STEP(LY_MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
        LY_MD5_STEP(LY_MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
        LY_MD5_STEP(LY_MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
        LY_MD5_STEP(LY_MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
        LY_MD5_STEP(LY_MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
        LY_MD5_STEP(LY_MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
        LY_MD5_STEP(LY_MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
        LY_MD5_STEP(LY_MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

        LY_MD5_STEP(LY_MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
        LY_MD5_STEP(LY_MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
        LY_MD5_STEP(LY_MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
        LY_MD5_STEP(LY_MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
        LY_MD5_STEP(LY_MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
        LY_MD5_STEP(LY_MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
        LY_MD5_STEP(LY_MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
        LY_MD5_STEP(LY_MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
        LY_MD5_STEP(LY_MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
        LY_MD5_STEP(LY_MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
        LY_MD5_STEP(LY_MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
        LY_MD5_STEP(LY_MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
        LY_MD5_STEP(LY_MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
        LY_MD5_STEP(LY_MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
        LY_MD5_STEP(LY_MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
        LY_MD5_STEP(LY_MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state_[0] = a;
    state_[1] = b;
    state_[2] = c;
    state_[3] = d;
}

void Md5::Update(const void* data, size_t length) {
    const auto* input = static_cast<const unsigned char*>(data);
    size_t used = static_cast<size_t>(bits_ >> 3) & 63;
    bits_ += static_cast<uint64_t>(length) << 3;
    if (used > 0) {
        size_t take = 64 - used < length ? 64 - used : length;
        std::memcpy(buffer_ + used, input, take);
        input += take;
        length -= take;
        if (used + take < 64) return;
        Transform(buffer_, 1);
    }
    if (length >= 64) {
        Transform(input, length / 64);
        input += length & ~static_cast<size_t>(63);
        length &= 63;
    }
    if (length > 0) std::memcpy(buffer_, input, length);
}

void Md5::Finish(unsigned char digest[kDigestSize]) {
    unsigned char tail[72] = {0x80};
    size_t used = static_cast<size_t>(bits_ >> 3) & 63;
    size_t pad = used < 56 ? 56 - used : 120 - used;
    uint64_t bits = bits_;
    for (int i = 0; i < 8; ++i) tail[pad + i] = static_cast<unsigned char>(bits >> (8 * i));
    Update(tail, pad + 8);
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 4; ++k)
            digest[4 * i + k] = static_cast<unsigned char>(state_[i] >> (8 * k));
    }
    std::memset(state_, 0, sizeof state_);
    std::memset(buffer_, 0, sizeof buffer_);
    bits_ = 0;
}

std::string MD5ToHex(const unsigned char digest[Md5::kDigestSize]) {
    static const char kHex[] = "0123456789abcdef";
    std::string text(2 * Md5::kDigestSize, '0');
    for (size_t i = 0; i < Md5::kDigestSize; ++i) {
        text[2 * i] = kHex[digest[i] >> 4];
        text[2 * i + 1] = kHex[digest[i] & 15];
    }
    return text;
}

namespace {

// The most read at once: large enough that the reads cost nothing beside the
// hashing, small enough to stay in the processor's cache.
constexpr int64_t kReadBlock = 256 * 1024;

std::string DigestFile(const std::string& nativePath, int offset, int count) {
    FileReader file(nativePath);
    if (!file.IsOpen()) return std::string();
    Md5 md5;
    // A negative offset cannot be sought to; the read then starts at the beginning.
    int64_t at = offset > 0 ? offset : 0;
    int64_t remaining = count;
    std::unique_ptr<unsigned char[]> block;
    if (remaining > 0)
        block.reset(new unsigned char[static_cast<size_t>(std::min(remaining, kReadBlock))]);
    while (remaining > 0) {
        const int64_t want = std::min(remaining, kReadBlock);
        const int64_t got = file.ReadAt(at, block.get(), want);
        if (got > 0) md5.Update(block.get(), static_cast<size_t>(got));
        // Short only at the end of the file, or on an error: what was read is digested.
        if (got < want) break;
        at += got;
        remaining -= got;
    }
    unsigned char digest[Md5::kDigestSize];
    md5.Finish(digest);
    return MD5ToHex(digest);
}

}  // namespace

std::string MD5File(const char* path, int offset, int count) {
    if (!path) return std::string();
    return DigestFile(path, offset, count);
}

std::string MD5FileW(const wchar_t* path, int offset, int count) {
    if (!path) return std::string();
    return DigestFile(NativePathW(path), offset, count);
}

std::string MD5FileOfPath(StringEx path, int offset, int count) {
    return path.IsWide() ? MD5FileW(path.GetWidePtr(), offset, count)
                         : MD5File(path.GetNarrowPtr(), offset, count);
}
