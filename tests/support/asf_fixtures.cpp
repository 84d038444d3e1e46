#include "tests/support/asf_fixtures.h"

#include <algorithm>
#include <sstream>

#include "tests/support/process.h"

namespace {

const unsigned char kDataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

uint64_t Read64(const Bytes& file, size_t offset) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | file[offset + i];
    return value;
}

void Write(Bytes* file, size_t offset, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) (*file)[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

// Prints one line per attribute; a value that is not text is printed in hex.
const char kMutagenScript[] = R"(
import sys
from mutagen.asf import ASF
f = ASF(sys.argv[1])
lines = []
for name, value in f.tags:
    v = value.value
    if isinstance(v, bytes):
        v = v.hex()
    lines.append("%s|%d|%s|%s|%s" % (name, value.TYPE, v, value.stream or 0, value.language or 0))
for line in sorted(lines):
    sys.stdout.buffer.write(line.encode("utf-8", "surrogatepass") + b"\n")
)";

}  // namespace

std::vector<AsfObjectSpan> AsfTopLevelObjects(const Bytes& file) {
    std::vector<AsfObjectSpan> objects;
    size_t offset = 0;
    while (file.size() - offset >= 24) {
        const uint64_t size = Read64(file, offset + 16);
        bool isData = std::equal(kDataGuid, kDataGuid + 16, file.begin() + static_cast<long>(offset));
        objects.push_back({offset, size, isData});
        if (size < 24 || size > file.size() - offset) break;
        offset += size;
    }
    return objects;
}

Bytes AsfDataObject(const Bytes& file) {
    for (const AsfObjectSpan& object : AsfTopLevelObjects(file)) {
        if (object.isData && object.size <= file.size() - object.offset) {
            auto begin = file.begin() + static_cast<long>(object.offset);
            return Bytes(begin, begin + static_cast<long>(object.size));
        }
    }
    return Bytes();
}

void SetAsfObjectSize(Bytes* file, size_t offset, uint64_t size) { Write(file, offset + 16, size, 8); }

void SetAsfHeaderCount(Bytes* file, uint32_t count) { Write(file, 24, count, 4); }

void SetLittleEndian16(Bytes* file, size_t offset, uint16_t value) { Write(file, offset, value, 2); }

size_t FindUtf16(const Bytes& file, const std::u16string& text) {
    Bytes pattern;
    for (char16_t unit : text) {
        pattern.push_back(static_cast<unsigned char>(unit));
        pattern.push_back(static_cast<unsigned char>(unit >> 8));
    }
    auto it = std::search(file.begin(), file.end(), pattern.begin(), pattern.end());
    return it == file.end() ? std::string::npos : static_cast<size_t>(it - file.begin());
}

std::vector<std::string> MutagenAttributes(const std::string& path, bool* ok) {
    CommandResult result = RunPython(kMutagenScript, {path});
    *ok = result.status == 0;
    std::vector<std::string> lines;
    if (!*ok) return lines;
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
