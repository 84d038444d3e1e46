#include "parsers/mpeg/tag_text.h"

#include <climits>

TagLib::String BytesAsLatin1(const std::string& bytes) {
    return TagLib::String(std::string(bytes.c_str()), TagLib::String::Latin1);
}

TagLib::ByteVector Latin1Bytes(const TagLib::String& text) {
    TagLib::ByteVector bytes;
    for (wchar_t c : FromTagText(text)) bytes.append(c <= 0xFF ? static_cast<char>(c) : '?');
    return bytes;
}

TagLib::String TrimTrailingBlanks(const TagLib::String& text) {
    int end = static_cast<int>(text.size());
    while (end > 0 && (text[end - 1] == L' ' || text[end - 1] == L'\0')) --end;
    return text.substr(0, static_cast<unsigned int>(end));
}

long long LeadingNumber(const TagLib::String& text) {
    long long value = 0;
    for (unsigned int i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c < L'0' || c > L'9') break;
        value = value * 10 + (c - L'0');
        if (value > INT_MAX) return INT_MAX;
    }
    return value;
}

bool IsAllDigits(const TagLib::String& text) {
    if (text.isEmpty()) return false;
    for (unsigned int i = 0; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
    }
    return true;
}
