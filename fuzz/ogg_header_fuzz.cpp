// libFuzzer target: the comment-header editor's reader on arbitrary bytes,
// and, when the headers read, a rewrite of the whole input with new comments.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "parsers/ogg/vorbis_edit.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t position;
};

size_t Read(void* buffer, size_t size, size_t count, void* input) {
    auto* in = static_cast<Input*>(input);
    size_t bytes = size * count;
    if (bytes > in->size - in->position) bytes = in->size - in->position;
    std::memcpy(buffer, in->data + in->position, bytes);
    in->position += bytes;
    return bytes;
}

// Accepts everything, keeping only a count, so long outputs cost no memory.
size_t Write(const void*, size_t size, size_t count, void* output) {
    *static_cast<size_t*>(output) += size * count;
    return size * count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input{data, size, 0};
    VorbisEditPtr state(VorbisEditNewState());
    if (!state || VorbisEditOpenCallbacks(state.get(), &input, Read, Write) != 0) return 0;
    vorbis_comment* comments = VorbisEditComments(state.get());
    vorbis_comment_clear(comments);
    vorbis_comment_init(comments);
    vorbis_comment_add_tag(comments, "TITLE", "fuzzed");
    size_t written = 0;
    VorbisEditWrite(state.get(), &written);
    return 0;
}
