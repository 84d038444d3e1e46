// COGGParser::ApplyFile: rewrites the whole stream with the recorded comments
// into the file's name followed by ".tmp", beside it, and puts that in the
// file's place only when every byte was written and flushed to disk. Any
// failure leaves the file as it was and no temporary file behind.
#include <cstdio>
#include <memory>

#include "core/file_replacement.h"
#include "core/platform_file.h"
#include "parsers/ogg/ogg_parser.h"
#include "parsers/ogg/vorbis_edit.h"

namespace {

constexpr size_t kReadBuffer = 256 * 1024;
constexpr size_t kWriteBackStep = 8 * 1024 * 1024;

// The output of a save: the temporary file, whose write-back is started
// every few megabytes so that the disk works while the stream is copied.
struct SaveOutput {
    FileReplacement* replacement;
    std::FILE* file;
    size_t sinceWriteBack;
};

size_t ReadSource(void* buffer, size_t size, size_t count, void* input) {
    return std::fread(buffer, size, count, static_cast<std::FILE*>(input));
}

size_t WriteTemporary(const void* buffer, size_t size, size_t count, void* output) {
    auto* out = static_cast<SaveOutput*>(output);
    size_t written = std::fwrite(buffer, size, count, out->file);
    out->sinceWriteBack += written * size;
    if (out->sinceWriteBack >= kWriteBackStep) {
        out->sinceWriteBack = 0;
        if (!out->replacement->StartWriteBack()) return 0;
    }
    return written;
}

void AddComment(vorbis_comment* comments, const OggComment& entry) {
    std::string value = OggValueUtf8(entry.value);
    vorbis_comment_add_tag(comments, entry.name.c_str(), value.c_str());
}

}  // namespace

void COGGParser::FillEditorComments(VorbisEditState* state) {
    vorbis_comment* comments = VorbisEditComments(state);
    vorbis_comment_clear(comments);
    vorbis_comment_init(comments);
    for (const auto& entry : knownFields_) AddComment(comments, entry);
    for (const auto& entry : otherComments_) AddComment(comments, entry);
}

int COGGParser::ApplyFile() {
    std::string native = NativePath(path_);
    std::unique_ptr<char[]> readBuffer(new char[kReadBuffer]);  // outlives `source`
    FilePtr source = OpenReadFile(native);
    if (!source) return 0;
    std::setvbuf(source.get(), readBuffer.get(), _IOFBF, kReadBuffer);

    VorbisEditPtr state(VorbisEditNewState());
    if (!state || VorbisEditOpenCallbacks(state.get(), source.get(), ReadSource, WriteTemporary) != 0) return 0;
    FillEditorComments(state.get());

    FileReplacement replacement(native, ".tmp");
    SaveOutput output{&replacement, replacement.Create(), 0};
    if (!output.file || VorbisEditWrite(state.get(), &output) != 0) return 0;
    state.reset();
    source.reset();
    return replacement.Commit() ? 1 : 0;
}
