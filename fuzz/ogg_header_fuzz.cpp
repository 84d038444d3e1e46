// libFuzzer target: the Ogg header reader on arbitrary bytes and, when it
// finds a comment header it can rewrite, the page layout of a new one. The
// new pages, put in the old ones' place, must read back through the reader
// as the new comment header (Opus: followed by zero padding only), in as
// many pages as the layout said. Aborts otherwise, so that libFuzzer keeps
// the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "parsers/ogg/ogg_comment_rewrite.h"
#include "parsers/ogg/ogg_stream_headers.h"
#include "parsers/vorbis_comment/vorbis_comment_list.h"

namespace {

OggReadFunc MemoryReader(const std::string& bytes) {
    return [&bytes](int64_t offset, void* buffer, int64_t count) -> int64_t {
        if (offset < 0 || static_cast<size_t>(offset) >= bytes.size()) return 0;
        const size_t n = std::min(static_cast<size_t>(count), bytes.size() - offset);
        std::memcpy(buffer, bytes.data() + offset, n);
        return static_cast<int64_t>(n);
    };
}

void Require(bool holds, const char* promise) {
    if (holds) return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    OggStreamHeaders headers;
    if (!headers.Read(MemoryReader(input), static_cast<int64_t>(size)) || !headers.Rewritable())
        return 0;
    const std::string magic = CommentMagic(headers.Codec());
    VorbisCommentList comments;
    if (!comments.Parse(headers.Comment(), magic.size())) return 0;
    comments.Set("TITLE", StringEx(std::string("fuzzed")));
    std::string packet = magic + comments.Render();
    if (headers.Codec() == OggCodec::kVorbis) packet += '\x01';
    const OggCommentPages& old = headers.CommentPages();
    const OggCommentRewrite rewrite =
        LayCommentPages(old, packet, headers.Serial(), headers.Codec() == OggCodec::kOpus);
    Require(!rewrite.pages.empty(), "a readable comment header is laid out");
    const std::string output = input.substr(0, static_cast<size_t>(old.begin)) + rewrite.pages +
                               input.substr(static_cast<size_t>(old.end));
    OggStreamHeaders again;
    Require(again.Read(MemoryReader(output), static_cast<int64_t>(output.size())) &&
                again.Codec() == headers.Codec(),
            "the rewritten stream is found again");
    const std::string read = again.Comment();
    Require(read.compare(0, packet.size(), packet) == 0 &&
                read.find_first_not_of('\0', packet.size()) == std::string::npos,
            "the new comment header reads back as written");
    Require(again.CommentPages().count == std::max(old.count, 1) + rewrite.added,
            "the header takes the pages the layout said");
    return 0;
}
