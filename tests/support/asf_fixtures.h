// Test-only helpers for Windows Media files: find top-level objects and
// stored text, and damage fields in place. Valid files come from
// tools/samples/wma_sample.h.
#ifndef LYPARSER_TESTS_SUPPORT_ASF_FIXTURES_H
#define LYPARSER_TESTS_SUPPORT_ASF_FIXTURES_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/samples/wma_sample.h"

// The bytes behind the Header Object (as its size says): the audio and what follows.
Bytes AfterAsfHeader(const Bytes& file);

// Reads and overwrites the `bytes`-wide little-endian field at `offset`
// (the Header Object's size lies at 16, its child count at 24).
uint64_t ReadLittleEndian(const Bytes& file, size_t offset, int bytes);
void SetLittleEndian(Bytes* file, size_t offset, uint64_t value, int bytes);
// Overwrites the 64-bit size field of the object starting at `offset`.
inline void SetAsfObjectSize(Bytes* file, size_t offset, uint64_t size) { SetLittleEndian(file, offset + 16, size, 8); }
// Offset of the first occurrence of `text` stored as UTF-16LE; npos when absent.
size_t FindUtf16(const Bytes& file, const std::u16string& text);

#endif  // LYPARSER_TESTS_SUPPORT_ASF_FIXTURES_H
