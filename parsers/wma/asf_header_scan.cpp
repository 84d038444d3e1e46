#include "parsers/wma/asf_header_scan.h"

#include <algorithm>
#include <cstring>

#include "core/little_endian.h"
#include "core/platform_file.h"
#include "parsers/wma/asf_guid.h"

namespace {

using Guid = AsfGuid;
const Guid& kHeaderObject = kAsfHeaderGuid;
const Guid& kContentEncryption = kAsfContentEncryptionGuid;
const Guid& kExtendedContentEncryption = kAsfExtendedContentEncryptionGuid;
const Guid& kHeaderExtension = kAsfHeaderExtensionGuid;
const Guid& kExtendedContentDescription = kAsfExtendedContentDescriptionGuid;
const Guid& kMetadata = kAsfMetadataGuid;
const Guid& kMetadataLibrary = kAsfMetadataLibraryGuid;

using Bytes = std::vector<unsigned char>;

bool IsGuid(const Bytes& bytes, size_t at, const Guid& guid) {
    return std::memcmp(bytes.data() + at, guid.data(), guid.size()) == 0;
}

uint64_t LittleEndian(const Bytes& bytes, size_t at, int width) {
    return ::LittleEndian(bytes.data() + at, width);
}

// False when an attribute object at `at` (of `size` bytes) counts more
// records than its body could hold at their smallest.
bool RecordsFit(const Bytes& header, size_t at, uint64_t size) {
    size_t smallest = 0;
    if (IsGuid(header, at, kExtendedContentDescription)) smallest = 6;
    if (IsGuid(header, at, kMetadata) || IsGuid(header, at, kMetadataLibrary)) smallest = 12;
    if (smallest == 0) return true;
    if (size < 26) return false;
    return LittleEndian(header, at + 24, 2) * smallest <= size - 26;
}

// Walks the objects that should fill [begin, end) of `header`; returns how
// many it met, or -1 when one does not fit. Notes encryption and records.
int64_t WalkObjects(const Bytes& header, size_t begin, size_t end, AsfHeaderScan* scan);

bool ExtensionHoldsTogether(const Bytes& header, size_t at, uint64_t size, AsfHeaderScan* scan) {
    if (size < 46) return false;
    // Walk the objects inside even when the data size disagrees: their record
    // counts matter to the parser all the same.
    const bool inside = WalkObjects(header, at + 46, at + static_cast<size_t>(size), scan) >= 0;
    return inside && LittleEndian(header, at + 42, 4) == size - 46;
}

int64_t WalkObjects(const Bytes& header, size_t begin, size_t end, AsfHeaderScan* scan) {
    int64_t count = 0;
    size_t at = begin;
    while (at < end) {
        if (end - at < 24) return -1;
        const uint64_t size = LittleEndian(header, at + 16, 8);
        scan->encrypted = scan->encrypted || IsGuid(header, at, kContentEncryption) ||
                          IsGuid(header, at, kExtendedContentEncryption);
        // Records are counted against what the header really holds, even
        // for an object whose size is out of bounds.
        scan->recordsFit =
            scan->recordsFit && RecordsFit(header, at, std::min<uint64_t>(size, end - at));
        if (size < 24 || size > end - at) return -1;
        if (IsGuid(header, at, kHeaderExtension) && !ExtensionHoldsTogether(header, at, size, scan))
            return -1;
        at += static_cast<size_t>(size);
        ++count;
    }
    return count;
}

}  // namespace

bool ReadAsfHeader(std::FILE* file, int64_t length, Bytes* header) {
    unsigned char start[30];
    if (ReadAt(file, 0, start, sizeof start) != static_cast<int64_t>(sizeof start)) return false;
    uint64_t claimed = 0;
    for (int i = 7; i >= 0; --i) claimed = (claimed << 8) | start[16 + i];
    const int64_t size = static_cast<int64_t>(
        std::min<uint64_t>({claimed, static_cast<uint64_t>(std::max<int64_t>(length, 30)),
                            static_cast<uint64_t>(kMaxAsfHeaderBytes)}));
    header->assign(static_cast<size_t>(std::max<int64_t>(size, 30)), 0);
    const int64_t got = ReadAt(file, 0, header->data(), static_cast<int64_t>(header->size()));
    if (got < 30) return false;
    header->resize(static_cast<size_t>(got));
    return true;
}

AsfHeaderScan ScanAsfHeader(const Bytes& header, int64_t fileLength) {
    AsfHeaderScan scan;
    if (header.size() < 30 || !IsGuid(header, 0, kHeaderObject)) return scan;
    scan.isAsf = true;
    const uint64_t claimed = LittleEndian(header, 16, 8);
    const size_t end = static_cast<size_t>(std::min<uint64_t>(claimed, header.size()));
    const int64_t count = end > 30 ? WalkObjects(header, 30, end, &scan) : -1;
    scan.parseable = count >= 0 && scan.recordsFit;
    scan.wellFormed = claimed >= 30 && claimed == header.size() &&
                      claimed <= static_cast<uint64_t>(fileLength) && count >= 0 &&
                      static_cast<uint64_t>(count) == LittleEndian(header, 24, 4);
    return scan;
}
