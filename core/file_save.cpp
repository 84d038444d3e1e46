#include "core/file_save.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/block_sharing.h"
#include "core/file_save_steps.h"
#include "core/pending_copy.h"
#include "core/platform_file.h"

namespace {

constexpr size_t kBufferSize = kSaveBufferSize;
constexpr size_t kSourceBuffer = 256 * 1024;
constexpr int64_t kWriteBackStep = 8 * 1024 * 1024;

bool ExceedsSizeLimit(int64_t size) {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
    return size > static_cast<int64_t>(limit.rlim_cur);
}

// The names of `fd`'s extended attributes into *names; false when they
// cannot be listed (a file system without attributes has none).
bool AttributeNames(int fd, std::vector<std::string>* names) {
    names->clear();
    // A list that grew between the two calls (ERANGE) is asked for again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size <= 0) return size == 0 || errno == ENOTSUP;
        std::vector<char> list(static_cast<size_t>(size));
        size = ::flistxattr(fd, list.data(), list.size());
        if (size < 0 && errno == ERANGE) continue;
        if (size < 0) return false;
        for (ssize_t at = 0; at < size;) {
            names->emplace_back(list.data() + at);
            at += static_cast<ssize_t>(names->back().size()) + 1;
        }
        return true;
    }
    return false;
}

// Makes `copy` carry `original`'s extended attributes (ACLs among them) and
// no others; false when one cannot be listed, copied or removed.
bool CopyAttributes(int original, int copy) {
    std::vector<std::string> wanted, present;
    if (!AttributeNames(original, &wanted) || !AttributeNames(copy, &present)) return false;
    for (const std::string& name : present) {
        bool keep = false;
        for (const std::string& other : wanted) keep = keep || other == name;
        if (!keep && ::fremovexattr(copy, name.c_str()) != 0) return false;
    }
    for (const std::string& name : wanted) {
        ssize_t size = ::fgetxattr(original, name.c_str(), nullptr, 0);
        if (size < 0) return false;
        std::vector<char> value(static_cast<size_t>(size) + 1);
        size = ::fgetxattr(original, name.c_str(), value.data(), value.size());
        if (size < 0 ||
            ::fsetxattr(copy, name.c_str(), value.data(), static_cast<size_t>(size), 0) != 0) {
            return false;
        }
    }
    return true;
}

// Gives the new file the original's owner, group and permission bits.
bool CopyOwnership(int fd, const struct stat& original) {
    struct stat info;
    if (::fstat(fd, &info) != 0) return false;
    if ((info.st_uid != original.st_uid || info.st_gid != original.st_gid) &&
        ::fchown(fd, original.st_uid, original.st_gid) != 0) {
        return false;
    }
    return ::fchmod(fd, original.st_mode & 07777) == 0;
}

}  // namespace

int CreateUnique(std::string* pattern) {
    std::vector<char> name(pattern->begin(), pattern->end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) pattern->assign(name.data());
    return fd;
}

bool ReserveSpace(int fd, int64_t size) {
    if (size <= 0) return true;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) return true;
    return errno != ENOSPC && errno != EFBIG && errno != EDQUOT;
}

std::string UniqueNameSuffix() {
    static std::atomic<unsigned> counter{0};
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    return std::to_string(::getpid()) + "-" + std::to_string(now.tv_nsec) + "-" +
           std::to_string(counter++);
}

bool LinkUnnamed(int fd, const std::string& stem, std::string* path) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string name = stem + UniqueNameSuffix();
        // The first form needs a privilege; the second, /proc.
        if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ||
            ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            *path = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

FileSave::FileSave(const std::string& nativePath) : path_(nativePath) {}

FileSave::~FileSave() {
    if (!committed_) {
        // A file that may hold neither content keeps its copy and its mark:
        // they are all of the new content there is.
        if (!copyingIn_) DropCopy();
        if (!outPath_.empty()) ::unlink(outPath_.c_str());
    }
    CloseDescriptor(&out_);
    lock_.Release();
    CloseDescriptor(&source_);
    if (sourceFile_) std::fclose(sourceFile_);
    ReleaseSizeSignal();
}

std::FILE* FileSave::Source() {
    if (sourceFile_ || source_ < 0) return sourceFile_;
    int fd = ::fcntl(source_, F_DUPFD_CLOEXEC, 0);
    sourceFile_ = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
    if (!sourceFile_) {
        CloseDescriptor(&fd);
        return nullptr;
    }
    sourceBuffer_.reset(new char[kSourceBuffer]);
    std::setvbuf(sourceFile_, sourceBuffer_.get(), _IOFBF, kSourceBuffer);
    return sourceFile_;
}

bool FileSave::Fail() {
    failed_ = true;
    return false;
}

bool FileSave::Fail(lyparser_reason why) {
    ReportFailure(why);
    return Fail();
}

bool FileSave::Begin(const FileIdentity& opened, int64_t newSize) {
    if (mode_ != Mode::kNone || failed_ || path_.empty()) return Fail();
    char* resolved = ::realpath(path_.c_str(), nullptr);
    if (!resolved) return Fail(ReasonOfError(errno));
    target_ = resolved;
    std::free(resolved);
    folder_ = FolderOf(target_);
    name_ = target_.substr(target_.rfind('/') + 1);

    // Opened for writing: the kernel decides whether this process may write
    // the file (ACLs and capabilities count), and the lock needs it.
    source_ = OpenDescriptor(target_, O_RDWR | O_NONBLOCK | O_NOCTTY);
    struct stat original;
    if (source_ < 0 || ::fstat(source_, &original) != 0 || !S_ISREG(original.st_mode) ||
        ::fcntl(source_, F_SETFL, 0) != 0) {
        return Fail(source_ < 0 ? ReasonOfError(errno) : LYPARSER_CHANGED_ON_DISK);
    }
    opened_ = opened;
    if (IdentityOf(original) != opened) return Fail(LYPARSER_CHANGED_ON_DISK);
    if (newSize >= 0 && ExceedsSizeLimit(newSize)) return Fail(LYPARSER_DISK_FULL);
    // Another save of this file may hold it: once it is done, the file has
    // changed or is gone, unless that save failed. A wait that ran out has
    // reported LOCKED.
    if (!lock_.Take(source_)) return Fail(ReasonOfError(errno));
    if (!StillTheOpenedFile()) return Fail(LYPARSER_CHANGED_ON_DISK);
    if (!ClearOrRefusePending()) return Fail();

    HoldSizeSignal();
    if (original.st_nlink == 1 && OpenReplacement(original)) {
        // mode_ set by OpenReplacement
    } else if (OpenSafetyCopy()) {
        mode_ = Mode::kInPlace;
    } else {
        const lyparser_reason why = ReasonOfError(errno);
        return Fail(why == LYPARSER_DISK_FULL ? why : LYPARSER_NO_SAFETY_COPY);
    }
    if (!ReserveSpace(out_, newSize)) return Fail(LYPARSER_DISK_FULL);
    reserved_ = newSize;
    struct stat made;
    if (::fstat(out_, &made) == 0 && made.st_dev == original.st_dev)
        sharing_ = BlockSharingOf(source_, mode_ == Mode::kInPlace ? copyFolder_ : folder_);
    buffer_.reset(new char[kBufferSize]);
    return true;
}

bool FileSave::OpenReplacement(const struct stat& original) {
    out_ = OpenDescriptor(folder_, O_TMPFILE | O_RDWR, 0600);
    mode_ = Mode::kUnnamed;
    if (out_ < 0 && errno != EACCES && errno != EPERM && errno != EROFS) {
        // The file system has no unnamed files: a uniquely named one instead.
        outPath_ = folder_ + "/." + name_ + kSafetySuffix;
        out_ = CreateUnique(&outPath_);
        mode_ = Mode::kNamed;
        if (out_ < 0) outPath_.clear();
    }
    if (out_ >= 0 && CopyOwnership(out_, original) && CopyAttributes(source_, out_)) return true;
    // Whatever made this fail, writing in place keeps the file what it is.
    CloseDescriptor(&out_);
    if (!outPath_.empty()) ::unlink(outPath_.c_str());
    outPath_.clear();
    mode_ = Mode::kNone;
    return false;
}

bool FileSave::Flush() {
    if (buffered_ == 0) return true;
    if (mode_ == Mode::kInPlace) digest_.Update(buffer_.get(), buffered_);
    if (!WriteAllAt(out_, buffer_.get(), buffered_, -1)) return Fail(ReasonOfError(errno));
    written_ += static_cast<int64_t>(buffered_);
    sinceWriteBack_ += static_cast<int64_t>(buffered_);
    buffered_ = 0;
    StartWriteBack();
    return true;
}

void FileSave::StartWriteBack() {
    if (sinceWriteBack_ < kWriteBackStep) return;
    // Let the disk work while the rest is produced; the final sync waits.
    (void)::sync_file_range(out_, written_ - sinceWriteBack_, sinceWriteBack_,
                            SYNC_FILE_RANGE_WRITE);
    sinceWriteBack_ = 0;
}

bool FileSave::Write(const void* data, size_t size) {
    if (failed_ || out_ < 0) return Fail();
    NoteChanged(written_ + static_cast<int64_t>(buffered_), static_cast<int64_t>(size));
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (buffered_ == kBufferSize && !Flush()) return false;
        size_t part = std::min(size, kBufferSize - buffered_);
        std::memcpy(buffer_.get() + buffered_, bytes, part);
        buffered_ += part;
        bytes += part;
        size -= part;
    }
    return true;
}

bool FileSave::CopyFrom(int fd, int64_t offset, int64_t length) {
    if (failed_ || out_ < 0 || offset < 0 || length < 0) return Fail();
    const int64_t at = written_ + static_cast<int64_t>(buffered_);
    if (offset != at || !IsOriginal(fd)) NoteChanged(at, length);
    return ShareMiddle(fd, &offset, &length) && CopyBytes(fd, offset, length);
}

bool FileSave::ShareMiddle(int fd, int64_t* offset, int64_t* length) {
    // The blocks of the range's middle can be shared when the range starts
    // at the same place within a block in both files.
    const int64_t block = sharing_.blockSize;
    const int64_t at = written_ + static_cast<int64_t>(buffered_);
    if (!sharing_.shares || (*offset - at) % block != 0 ||
        IdentityOfDescriptor(fd).device != IdentityOfDescriptor(out_).device) {
        return true;
    }
    const int64_t head = (block - *offset % block) % block;
    const int64_t middle = (*length - head) / block * block;
    if (middle <= 0) return true;
    if (!CopyBytes(fd, *offset, head) || !Flush()) return false;
    *offset += head;
    *length -= head;
    const int error = ShareRange(fd, *offset, out_, written_, middle);
    if (error != 0) {
        if (!ShareRefused(error)) return Fail();
        sharing_.shares = false;  // not between these two: the bytes are copied
        return true;
    }
    // In place, the copy's digest is taken from the bytes just shared.
    if (mode_ == Mode::kInPlace && !DigestRange(fd, *offset, middle)) return false;
    // Pages written so far start for the disk now, as they would have later.
    if (sinceWriteBack_ > 0) {
        (void)::sync_file_range(out_, written_ - sinceWriteBack_, sinceWriteBack_,
                                SYNC_FILE_RANGE_WRITE);
    }
    sinceWriteBack_ = 0;
    written_ += middle;
    *offset += middle;
    *length -= middle;
    if (::lseek(out_, static_cast<off_t>(written_), SEEK_SET) < 0) return Fail();
    return true;
}

bool FileSave::DigestRange(int fd, int64_t offset, int64_t length) {
    while (length > 0) {
        const size_t part = static_cast<size_t>(std::min<int64_t>(length, kBufferSize));
        if (!ReadAllAt(fd, buffer_.get(), part, offset)) return Fail();
        digest_.Update(buffer_.get(), part);
        offset += static_cast<int64_t>(part);
        length -= static_cast<int64_t>(part);
    }
    return true;
}

bool FileSave::CopyBytes(int fd, int64_t offset, int64_t length) {
    // Large ranges are copied by the kernel: no trip through our buffer, and
    // new page-cache pages come in the kernel's own sizes (filling them from
    // 1 MiB writes was several times slower at times). In place, every byte
    // passes through the buffer, where the copy's digest is taken.
    if (length >= static_cast<int64_t>(kBufferSize) && !Flush()) return false;
    while (kernelCopy_ && mode_ != Mode::kInPlace && length >= static_cast<int64_t>(kBufferSize)) {
        loff_t from = offset;
        ssize_t done = ::copy_file_range(fd, &from, out_, nullptr, kBufferSize, 0);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0 &&
            (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            kernelCopy_ = false;  // not between these files: the buffer does it
            break;
        }
        if (done <= 0) return Fail(done == 0 ? LYPARSER_DAMAGED : ReasonOfError(errno));
        offset += done;
        length -= done;
        written_ += done;
        sinceWriteBack_ += done;
        StartWriteBack();
    }
    while (length > 0) {
        if (buffered_ == kBufferSize && !Flush()) return false;
        size_t part = static_cast<size_t>(
            std::min<int64_t>(length, static_cast<int64_t>(kBufferSize - buffered_)));
        if (!ReadAllAt(fd, buffer_.get() + buffered_, part, offset))
            return Fail(ReasonOfError(errno));
        buffered_ += part;
        offset += static_cast<int64_t>(part);
        length -= static_cast<int64_t>(part);
    }
    return true;
}

bool FileSave::StillTheOpenedFile() const {
    struct stat info;
    return ::stat(target_.c_str(), &info) == 0 && IdentityOf(info) == opened_;
}

bool FileSave::Commit() {
    if (failed_ || out_ < 0 || committed_) return Fail();
    // Room reserved past the end (the estimate of an Ogg save that shrank
    // the file) is given back.
    if (!Flush() || (reserved_ > written_ && ::ftruncate(out_, written_) != 0) ||
        !SyncDescriptor(out_)) {
        return Fail(ReasonOfError(errno));
    }
    bool done = mode_ == Mode::kInPlace ? CommitInPlace() : CommitByRename();
    committed_ = done || replaced_ || copyingIn_;
    if (!done) return Fail(ReasonOfError(errno));
    ReleaseSizeSignal();
    return true;
}

bool FileSave::CommitByRename() {
    if (!StillTheOpenedFile()) return Fail(LYPARSER_CHANGED_ON_DISK);
    // Give the finished file a name only now, so a crash before this point
    // leaves nothing behind.
    if (mode_ == Mode::kUnnamed &&
        !LinkUnnamed(out_, folder_ + "/." + name_ + ".lyparser-new-", &outPath_)) {
        return false;
    }
    if (std::rename(outPath_.c_str(), target_.c_str()) != 0) return false;
    outPath_.clear();
    replaced_ = true;
    result_ = IdentityOfDescriptor(out_);
    // The new file is in place; only the rename's durability is left to check.
    return SyncFolder(folder_, out_);
}

void FileSave::HoldSizeSignal() {
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, SIGXFSZ);
    if (::pthread_sigmask(SIG_BLOCK, &only, &savedMask_) != 0) return;
    sigset_t pending;
    signalWasPending_ = ::sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ);
    signalHeld_ = true;
}

void FileSave::ReleaseSizeSignal() {
    if (!signalHeld_) return;
    signalHeld_ = false;
    sigset_t pending;
    if (!signalWasPending_ && ::sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ)) {
        // Raised by one of this save's writes, which has failed already.
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, SIGXFSZ);
        struct timespec now = {0, 0};
        (void)::sigtimedwait(&only, nullptr, &now);
    }
    ::pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
}
