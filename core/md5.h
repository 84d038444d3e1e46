// MD5 message digest (RFC 1321) and the file digest every parser answers with.
// Thread-safe: contexts are plain values.
#ifndef LYPARSER_CORE_MD5_H
#define LYPARSER_CORE_MD5_H

#include <cstddef>
#include <cstdint>
#include <string>

class StringEx;

class Md5 {
public:
    static constexpr size_t kDigestSize = 16;

    Md5() { Reset(); }
    ~Md5();
    void Reset();
    void Update(const void* data, size_t length);
    // Writes the digest and wipes the context; call Reset before reusing it.
    void Finish(unsigned char digest[kDigestSize]);

private:
    void Transform(const unsigned char* block, size_t blocks);

    uint32_t state_[4];
    uint64_t bits_;
    unsigned char buffer_[64];
};

// Two lower-case hexadecimal digits per byte, in order.
std::string MD5ToHex(const unsigned char digest[Md5::kDigestSize]);

// Digest of up to `count` bytes of the file from byte `offset` (-1 means 0),
// read in blocks of up to 256 KiB. A count of 0 or less digests no bytes; a
// range past the end digests what exists. Empty text when the path is null or
// the file cannot be opened.
std::string MD5File(const char* path, int offset, int count);
std::string MD5FileW(const wchar_t* path, int offset, int count);
// MD5FileW for a wide path, else MD5File, on `path` as the host gave it.
std::string MD5FileOfPath(StringEx path, int offset, int count);

#endif  // LYPARSER_CORE_MD5_H
