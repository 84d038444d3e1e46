// Test-only helpers for Windows Media files: find top-level objects, damage
// them (sizes, counts, cuts), and read a file's attributes with an
// independent reader (python3-mutagen). Valid files come from
// tools/samples/wma_sample.h.
#ifndef LYPARSER_TESTS_SUPPORT_ASF_FIXTURES_H
#define LYPARSER_TESTS_SUPPORT_ASF_FIXTURES_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/samples/wma_sample.h"

struct AsfObjectSpan {
    size_t offset;  // of the object's GUID
    uint64_t size;  // as its header says
    bool isData;
};

// The top-level objects of `file`, as far as their sizes lead.
std::vector<AsfObjectSpan> AsfTopLevelObjects(const Bytes& file);
// The whole Data Object (header and packets); empty when there is none.
Bytes AsfDataObject(const Bytes& file);

// Overwrites the 64-bit size field of the object starting at `offset`.
void SetAsfObjectSize(Bytes* file, size_t offset, uint64_t size);
// Overwrites the 32-bit child count of the Header Object.
void SetAsfHeaderCount(Bytes* file, uint32_t count);
// Overwrites the 16-bit value at `offset` (record counts and lengths).
void SetLittleEndian16(Bytes* file, size_t offset, uint16_t value);
// Offset of the first occurrence of `text` stored as UTF-16LE; npos when absent.
size_t FindUtf16(const Bytes& file, const std::u16string& text);

// Every attribute of the file as mutagen reads it, one line each, sorted:
// name, type, value (text, or hex for bytes), stream, language, separated by
// '|'. Empty (with ok false) when mutagen cannot read the file.
std::vector<std::string> MutagenAttributes(const std::string& path, bool* ok);

#endif  // LYPARSER_TESTS_SUPPORT_ASF_FIXTURES_H
