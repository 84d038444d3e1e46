// A check of an ASF Header Object held in memory, made before TagLib sees
// it: whether the file is protected (a Content Encryption or Extended
// Content Encryption object), whether TagLib may parse it without being led
// through absurd record counts, and whether it may be rewritten.
// Thread-safe: plain functions of their arguments.
#ifndef LYPARSER_PARSERS_WMA_ASF_HEADER_SCAN_H
#define LYPARSER_PARSERS_WMA_ASF_HEADER_SCAN_H

#include <cstdint>
#include <cstdio>
#include <vector>

struct AsfHeaderScan {
    bool isAsf = false;      // starts with a Header Object
    bool encrypted = false;  // holds an encryption object
    // Every attribute object's record count fits in its body, so parsing
    // stays proportional to the header's size.
    bool recordsFit = true;
    // An ASF header whose objects all lie inside it and whose records fit:
    // safe to hand to TagLib. Other headers lead its parser astray.
    bool parseable = false;
    // The header lies inside the file and its objects (and those of a Header
    // Extension Object) fill it exactly, as many as it counts. TagLib writes
    // back only the objects it parsed over the range the header claims, so
    // only such a header may be rewritten.
    bool wellFormed = false;
};

// The most of a header ever read into memory.
constexpr int64_t kMaxAsfHeaderBytes = 256 << 20;

// Reads the Header Object at the start of `file` (of `length` bytes), cut to
// the file and to kMaxAsfHeaderBytes. False when not even its first 30 bytes
// can be read.
bool ReadAsfHeader(std::FILE* file, int64_t length, std::vector<unsigned char>* header);

// Scans `header` (as ReadAsfHeader gives it) of a file of `fileLength` bytes.
AsfHeaderScan ScanAsfHeader(const std::vector<unsigned char>& header, int64_t fileLength);

#endif  // LYPARSER_PARSERS_WMA_ASF_HEADER_SCAN_H
