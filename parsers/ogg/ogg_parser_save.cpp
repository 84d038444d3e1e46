// COGGParser::ApplyFile: rewrites the whole stream with the recorded comments
// into a new file and puts it in the file's place through FileSave, so that
// any failure, a read error of the original included, leaves the file as it
// was.
#include <cstdio>
#include <cstring>

#include "core/file_save.h"
#include "core/platform_file.h"
#include "parsers/ogg/ogg_parser.h"
#include "parsers/ogg/vorbis_edit.h"

namespace {

// The original as the editor reads it; a read error is remembered, so that
// it never passes for the end of the file.
struct SaveInput {
    std::FILE* file;
    bool failed;
};

size_t ReadSource(void* buffer, size_t size, size_t count, void* input) {
    auto* in = static_cast<SaveInput*>(input);
    size_t got = std::fread(buffer, size, count, in->file);
    if (got < count && std::ferror(in->file)) in->failed = true;
    return got;
}

size_t WriteNew(const void* buffer, size_t size, size_t count, void* output) {
    return static_cast<FileSave*>(output)->Write(buffer, size * count) ? count : 0;
}

// Adds `text` whole: libvorbis copies a comment up to its first NUL, so its
// bytes are put in place behind that copy, which has the same length.
void AddComment(vorbis_comment* comments, const std::string& text) {
    vorbis_comment_add(comments, std::string(text.size(), ' ').c_str());
    std::memcpy(comments->user_comments[comments->comments - 1], text.data(), text.size());
}

}  // namespace

void COGGParser::FillEditorComments(VorbisEditState* state) {
    vorbis_comment* comments = VorbisEditComments(state);
    vorbis_comment_clear(comments);
    vorbis_comment_init(comments);
    for (size_t i = 0; i < comments_.Count(); ++i) AddComment(comments, comments_.TextAt(i));
}

int COGGParser::ApplyFile() {
    if (openedFromMemory_ || !identity_.IsKnown()) return 0;
    // Nothing to write: the file, its inode and its times stay as they are.
    if (!comments_.Changed()) return 1;
    // The new size is not known before the stream is rewritten: the file's
    // own size is the estimate the size limit is checked against.
    FileSave save(NativePath(path_));
    if (!save.Begin(identity_, identity_.size)) return 0;
    SaveInput input{save.Source(), false};
    if (!input.file) return 0;
    VorbisEditPtr state(VorbisEditNewState());
    if (!state || VorbisEditOpenCallbacks(state.get(), &input, ReadSource, WriteNew) != 0) return 0;
    FillEditorComments(state.get());
    if (VorbisEditWrite(state.get(), &save) != 0 || input.failed) return 0;
    state.reset();
    const bool saved = save.Commit();
    // Also after a failure, when the file holds the new content, or its own
    // again after an in-place write was undone.
    if (save.Result().IsKnown()) identity_ = save.Result();
    if (saved) comments_.MarkSaved();
    return saved ? 1 : 0;
}
