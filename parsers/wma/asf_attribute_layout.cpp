#include "parsers/wma/asf_attribute_layout.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/code_page.h"
#include "core/little_endian.h"
#include "parsers/wma/asf_guid.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr size_t kObjectHeader = 24;
constexpr size_t kHeaderObjectStart = 30;       // GUID, size, object count, two reserved bytes
constexpr size_t kExtensionDataStart = 46;      // GUID, size, reserved GUID and word, data size
constexpr size_t kContentTextsStart = 24 + 10;  // the object header, then five 16-bit lengths

bool IsGuid(const Bytes& bytes, size_t at, const AsfGuid& guid) {
    return std::memcmp(bytes.data() + at, guid.data(), guid.size()) == 0;
}

uint64_t Number(const Bytes& bytes, size_t at, int width) {
    return LittleEndian(bytes.data() + at, width);
}

void PutNumber(Bytes* bytes, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) (*bytes)[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// UTF-16LE text without its trailing NULs, as TagLib reads names.
std::wstring TextAt(const Bytes& bytes, size_t at, size_t length) {
    std::u16string units;
    for (size_t i = 0; i + 1 < length; i += 2) {
        units.push_back(static_cast<char16_t>(bytes[at + i] | bytes[at + i + 1] << 8));
    }
    while (!units.empty() && units.back() == 0) units.pop_back();
    return Utf16ToWide(units);
}

// The records of an attribute object at `at` (`size` bytes): extended
// content records when `place` is kExtendedContent, else metadata records.
void ReadRecords(const Bytes& header, size_t at, size_t size, AsfPlace place,
                 AsfAttributeLayout* layout) {
    if (size < kObjectHeader + 2) return;
    const size_t end = at + size;
    size_t pos = at + kObjectHeader + 2;
    for (uint64_t count = Number(header, at + kObjectHeader, 2); count > 0; --count) {
        const bool extended = place == AsfPlace::kExtendedContent;
        size_t nameAt, nameLength, valueLength;
        if (extended) {
            if (end - pos < 2) return;
            nameLength = Number(header, pos, 2);
            nameAt = pos + 2;
            if (end - nameAt < nameLength + 4) return;
            valueLength = Number(header, nameAt + nameLength + 2, 2);
            pos = nameAt + nameLength + 4;
        } else {
            if (end - pos < 12) return;
            nameLength = Number(header, pos + 4, 2);
            valueLength = Number(header, pos + 8, 4);
            nameAt = pos + 12;
            if (end - nameAt < nameLength) return;
            pos = nameAt + nameLength;
        }
        if (end - pos < valueLength) return;
        pos += valueLength;
        layout->places[TextAt(header, nameAt, nameLength)].push_back(place);
    }
}

void ReadContentDescription(const Bytes& header, size_t at, size_t size,
                            AsfAttributeLayout* layout) {
    if (size < kContentTextsStart) return;
    size_t pos = at + kContentTextsStart;
    for (size_t i = 0; i < kAsfContentTexts; ++i) {
        const size_t length = Number(header, at + kObjectHeader + 2 * i, 2);
        if (at + size - pos < length) return;
        layout->storedEmpty[i] = length > 0 && TextAt(header, pos, length).empty();
        pos += length;
    }
}

// Calls `visit(at, size)` for each object that lies whole in [begin, end).
template <typename Visit>
void EachObject(const Bytes& header, size_t begin, size_t end, Visit visit) {
    for (size_t at = begin; at < end && end - at >= kObjectHeader;) {
        const uint64_t size = Number(header, at + 16, 8);
        if (size < kObjectHeader || size > end - at) return;
        visit(at, static_cast<size_t>(size));
        at += static_cast<size_t>(size);
    }
}

size_t HeaderEnd(const Bytes& header) {
    if (header.size() < kHeaderObjectStart) return 0;
    return static_cast<size_t>(std::min<uint64_t>(Number(header, 16, 8), header.size()));
}

}  // namespace

AsfAttributeLayout ReadAsfAttributeLayout(const Bytes& header) {
    AsfAttributeLayout layout;
    EachObject(header, kHeaderObjectStart, HeaderEnd(header), [&](size_t at, size_t size) {
        if (IsGuid(header, at, kAsfContentDescriptionGuid)) {
            ReadContentDescription(header, at, size, &layout);
        } else if (IsGuid(header, at, kAsfExtendedContentDescriptionGuid)) {
            ReadRecords(header, at, size, AsfPlace::kExtendedContent, &layout);
        } else if (IsGuid(header, at, kAsfHeaderExtensionGuid) && size >= kExtensionDataStart) {
            EachObject(
                header, at + kExtensionDataStart, at + size, [&](size_t inner, size_t length) {
                    if (IsGuid(header, inner, kAsfMetadataGuid)) {
                        ReadRecords(header, inner, length, AsfPlace::kMetadata, &layout);
                    } else if (IsGuid(header, inner, kAsfMetadataLibraryGuid)) {
                        ReadRecords(header, inner, length, AsfPlace::kMetadataLibrary, &layout);
                    }
                });
        }
    });
    return layout;
}

bool LeaveOutEmptyContentTexts(Bytes* header, const AsfContentFlags& keepEmpty) {
    size_t object = 0, objectSize = 0;
    EachObject(*header, kHeaderObjectStart, HeaderEnd(*header), [&](size_t at, size_t size) {
        if (!objectSize && IsGuid(*header, at, kAsfContentDescriptionGuid)) {
            object = at;
            objectSize = size;
        }
    });
    if (objectSize < kContentTextsStart) return false;
    size_t lengths[kAsfContentTexts], total = 0;
    for (size_t i = 0; i < kAsfContentTexts; ++i) {
        lengths[i] = Number(*header, object + kObjectHeader + 2 * i, 2);
        total += lengths[i];
    }
    if (total > objectSize - kContentTextsStart) return false;
    Bytes texts;
    size_t pos = object + kContentTextsStart;
    for (size_t i = 0; i < kAsfContentTexts; ++i) {
        const bool leaveOut = !keepEmpty[i] && TextAt(*header, pos, lengths[i]).empty();
        const size_t kept = leaveOut ? 0 : lengths[i];
        texts.insert(texts.end(), header->begin() + pos, header->begin() + pos + kept);
        PutNumber(header, object + kObjectHeader + 2 * i, kept, 2);
        pos += lengths[i];
    }
    const size_t removed = (pos - (object + kContentTextsStart)) - texts.size();
    std::copy(texts.begin(), texts.end(), header->begin() + object + kContentTextsStart);
    header->erase(header->begin() + pos - removed, header->begin() + pos);
    PutNumber(header, object + 16, objectSize - removed, 8);
    PutNumber(header, 16, Number(*header, 16, 8) - removed, 8);
    return true;
}
