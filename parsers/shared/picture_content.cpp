#include "parsers/shared/picture_content.h"

namespace {

bool StartsWith(const TagLib::ByteVector& data, const char* magic, unsigned int length,
                unsigned int offset = 0) {
    return data.size() >= offset + length &&
           data.containsAt(TagLib::ByteVector(magic, length), offset);
}

}  // namespace

std::string PictureMimeType(const TagLib::ByteVector& data) {
    if (StartsWith(data, "\xFF\xD8\xFF", 3)) return "image/jpeg";
    if (StartsWith(data, "\x89PNG\r\n\x1A\n", 8)) return "image/png";
    if (StartsWith(data, "GIF87a", 6) || StartsWith(data, "GIF89a", 6)) return "image/gif";
    if (StartsWith(data, "RIFF", 4) && StartsWith(data, "WEBP", 4, 8)) return "image/webp";
    if (StartsWith(data, "BM", 2) && data.size() >= 26) return "image/bmp";
    return std::string();
}
