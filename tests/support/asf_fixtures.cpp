#include "tests/support/asf_fixtures.h"

#include <algorithm>

uint64_t ReadLittleEndian(const Bytes& file, size_t offset, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | file.at(offset + i);
    return value;
}

Bytes AfterAsfHeader(const Bytes& file) {
    const uint64_t header = file.size() >= 24 ? ReadLittleEndian(file, 16, 8) : file.size();
    return header < file.size() ? Bytes(file.begin() + static_cast<long>(header), file.end()) : Bytes();
}

void SetLittleEndian(Bytes* file, size_t offset, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file->at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
}

size_t FindUtf16(const Bytes& file, const std::u16string& text) {
    Bytes pattern;
    for (char16_t unit : text) {
        pattern.push_back(static_cast<unsigned char>(unit));
        pattern.push_back(static_cast<unsigned char>(unit >> 8));
    }
    auto it = std::search(file.begin(), file.end(), pattern.begin(), pattern.end());
    return it == file.end() ? std::string::npos : static_cast<size_t>(it - file.begin());
}
