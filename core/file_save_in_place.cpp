// FileSave's in-place path: the copy, the mark, the write into the file and
// what is done when that write fails. The order of the steps is what makes a
// crash at any moment leave the old file, the new one or a pending one
// (core/file_save.h); tests/api/save_crash_states_test.cpp holds it to that.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/block_sharing.h"
#include "core/file_save.h"
#include "core/file_save_steps.h"
#include "core/pending_copy.h"
#include "core/platform_file.h"

namespace {

// A new unnamed file in `folder`, or a uniquely named one (*path) where the
// file system has no unnamed files; -1 when the folder may not be written.
int OpenCopy(const std::string& folder, const std::string& namedPattern, std::string* path) {
    int fd = OpenDescriptor(folder, O_TMPFILE | O_RDWR, 0600);
    if (fd >= 0 || errno == EACCES || errno == EPERM || errno == EROFS) return fd;
    *path = namedPattern;
    fd = CreateUnique(path);
    if (fd < 0) path->clear();
    return fd;
}

}  // namespace

void FileSave::NoteChanged(int64_t offset, int64_t length) {
    if (mode_ != Mode::kInPlace || length <= 0) return;
    if (!changed_.empty() && changed_.back().offset + changed_.back().length == offset) {
        changed_.back().length += length;
    } else {
        changed_.push_back(Range{offset, length});
    }
}

bool FileSave::IsOriginal(int fd) const {
    return mode_ == Mode::kInPlace && IdentityOfDescriptor(fd).SameFile(opened_);
}

bool FileSave::ClearOrRefusePending() {
    PendingCopy mark;
    const int found = ReadPendingMark(source_, &mark);
    if (found == 0) return true;
    // A mark left by a save that had written the whole file goes; any other
    // refuses the save.
    if (found < 0 || !HoldsContentOf(source_, mark)) return Fail(LYPARSER_PENDING_COPY);
    if (CopyBelongsTo(mark.path, source_)) ::unlink(mark.path.c_str());
    if (!RemovePendingMark(source_)) return Fail(ReasonOfError(errno));
    // Only the mark changed, under this save's own hands.
    opened_ = IdentityOfDescriptor(source_);
    return opened_.IsKnown();
}

bool FileSave::OpenSafetyCopy() {
    // Beside the file, else where the copy survives a power cut and every
    // process finds it, whatever its environment.
    copyFolder_ = folder_;
    out_ = OpenCopy(folder_, folder_ + "/." + name_ + kSafetySuffix, &outPath_);
    std::string stemFolder = folder_;
    if (out_ < 0) {
        if (!SharedCopyFolder(&copyFolder_)) return false;
        out_ = OpenCopy(copyFolder_, copyFolder_ + "/lyparser-safe-XXXXXX", &outPath_);
        stemFolder.clear();
    }
    if (out_ < 0) return false;
    copyStem_ = CopyNameStem(source_, stemFolder, name_);
    return !copyStem_.empty();
}

bool FileSave::NameCopy() {
    if (outPath_.empty()) return LinkUnnamed(out_, copyStem_, &completePath_);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string name = copyStem_ + UniqueNameSuffix();
        if (::link(outPath_.c_str(), name.c_str()) == 0) {
            completePath_ = name;
            ::unlink(outPath_.c_str());
            outPath_.clear();
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool FileSave::CommitInPlace() {
    unsigned char digest[Md5::kDigestSize];
    digest_.Finish(digest);
    // The copy is whole and on disk; now its name goes to disk too, then the
    // mark. Under the save lock the file is still the one opened.
    if (!NameCopy() || !SyncFolder(copyFolder_, out_) ||
        !WritePendingMark(source_, PendingCopy{completePath_, written_, MD5ToHex(digest)})) {
        if (errno == ENOTSUP) ReportFailure(LYPARSER_NO_SAFETY_COPY);  // no extended attributes
        return false;
    }
    marked_ = true;
    if (!CopyIn(source_)) return false;
    copyingIn_ = false;
    replaced_ = true;
    // The copy goes before the mark: a mark left alone on a file that holds
    // what it records is cleared by the next save, and so is the copy it
    // names when its removal here failed.
    const bool tidy = ::unlink(completePath_.c_str()) == 0 && SyncFolder(copyFolder_, out_) &&
                      RemovePendingMark(source_);
    completePath_.clear();
    marked_ = false;
    result_ = IdentityOfDescriptor(source_);
    return tidy;
}

bool FileSave::CopyIn(int target) {
    std::vector<OldBytes> kept;
    const bool canPutBack = KeepOldBytes(&kept);
    if (!ReserveSpace(target, written_)) return false;
    copyingIn_ = true;
    bool copied = true;
    for (const Range& range : changed_)
        copied = copied && CopyRangeIn(target, range.offset, range.length);
    copied = copied && (written_ == opened_.size || ::ftruncate(target, written_) == 0) &&
             SyncDescriptor(target);
    if (copied) return true;
    ReportFailure(ReasonOfError(errno));
    if (canPutBack && PutBack(target, kept)) {
        copyingIn_ = false;
        DropCopy();
        result_ = IdentityOfDescriptor(target);
    }
    return false;
}

bool FileSave::CopyRangeIn(int target, int64_t offset, int64_t length) {
    // Whole blocks are shared from the copy where the file system can; the
    // bytes around them are copied.
    const int64_t block = sharing_.blockSize;
    int64_t head = length, middle = 0;
    if (sharing_.shares) {
        head = std::min(length, (block - offset % block) % block);
        middle = (length - head) / block * block;
    }
    const int error =
        middle > 0 ? ShareRange(out_, offset + head, target, offset + head, middle) : 0;
    if (error != 0 && !ShareRefused(error)) return false;
    if (error != 0) {
        sharing_.shares = false;
        head = length;
        middle = 0;
    }
    const int64_t tail = offset + head + middle;
    return CopyBytesAt(out_, target, offset, head, buffer_.get(), kSaveBufferSize) &&
           CopyBytesAt(out_, target, tail, offset + length - tail, buffer_.get(), kSaveBufferSize);
}

bool FileSave::KeepOldBytes(std::vector<OldBytes>* kept) const {
    // The original's bytes the write destroys: the changed ranges and, when
    // the file shrinks, its old tail.
    std::vector<Range> lost;
    for (const Range& range : changed_) {
        const int64_t end = std::min(range.offset + range.length, opened_.size);
        if (range.offset < end) lost.push_back(Range{range.offset, end - range.offset});
    }
    if (written_ < opened_.size) lost.push_back(Range{written_, opened_.size - written_});
    int64_t total = 0;
    for (const Range& range : lost) total += range.length;
    if (total > static_cast<int64_t>(kSaveBufferSize)) return false;
    for (const Range& range : lost) {
        kept->push_back(OldBytes{range.offset, std::string(static_cast<size_t>(range.length), 0)});
        if (!ReadAllAt(source_, &kept->back().bytes[0], kept->back().bytes.size(), range.offset))
            return false;
    }
    return true;
}

bool FileSave::PutBack(int target, const std::vector<OldBytes>& kept) {
    if (::ftruncate(target, static_cast<off_t>(opened_.size)) != 0) return false;
    for (const OldBytes& old : kept) {
        if (!WriteAllAt(target, old.bytes.data(), old.bytes.size(), old.offset)) return false;
    }
    return SyncDescriptor(target);
}

void FileSave::DropCopy() {
    // The mark first: it must never be left pointing to nothing on a file
    // that does not hold what it records.
    if (marked_ && !RemovePendingMark(source_)) return;
    marked_ = false;
    if (!completePath_.empty()) ::unlink(completePath_.c_str());
    completePath_.clear();
}
