#include "parsers/shared/trailing_tags.h"

#include <taglib/tiostream.h>

namespace {

constexpr int64_t kId3v1Size = 128;
constexpr int64_t kApeFooterSize = 32;

}  // namespace

TrailingTags FindTrailingTags(TagLib::IOStream* stream, int64_t after) {
    TrailingTags tags;
    int64_t end = stream->length();
    if (end - kId3v1Size >= after) {
        stream->seek(end - kId3v1Size);
        if (stream->readBlock(3) == "TAG") tags.id3v1 = end -= kId3v1Size;
    }
    if (end - kApeFooterSize >= after) {
        stream->seek(end - kApeFooterSize);
        const TagLib::ByteVector footer = stream->readBlock(kApeFooterSize);
        if (footer.size() == kApeFooterSize && footer.startsWith("APETAGEX")) {
            const int64_t size = footer.toUInt(12U, false) +
                                 ((footer.toUInt(20U, false) & 0x80000000u) ? kApeFooterSize : 0);
            if (size >= kApeFooterSize && end - size >= after) tags.ape = end -= size;
        }
    }
    tags.start = end;
    return tags;
}
