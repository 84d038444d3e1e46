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

namespace {

constexpr size_t kBufferSize = 1024 * 1024;
constexpr size_t kSourceBuffer = 256 * 1024;
constexpr int64_t kWriteBackStep = 8 * 1024 * 1024;
constexpr char kSafetySuffix[] = ".lyparser-safe-XXXXXX";
constexpr char kCompleteSuffix[] = ".lyparser-saved";

// The fuzz build saves thousands of files a second into a scratch folder; it
// skips waiting for the disk, and nothing else.
#ifdef LY_SAVE_WITHOUT_SYNC
int SyncFile(int) { return 0; }
#else
int SyncFile(int fd) { return ::fsync(fd); }
#endif

int OpenNoInterrupt(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void CloseQuietly(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

bool WriteAllAt(int fd, const char* data, size_t size, int64_t offset) {
    while (size > 0) {
        ssize_t done = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        data += done;
        size -= static_cast<size_t>(done);
        offset += done;
    }
    return true;
}

// Reads exactly `size` bytes at `offset`; false on an error or an early end.
bool ReadAllAt(int fd, char* data, size_t size, int64_t offset) {
    while (size > 0) {
        ssize_t got = ::pread(fd, data, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        data += got;
        size -= static_cast<size_t>(got);
        offset += got;
    }
    return true;
}

bool SyncFolder(const std::string& folder) {
    int fd = OpenNoInterrupt(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    // Some file systems cannot sync a folder (EINVAL): their renames are as
    // durable as they get.
    bool synced = SyncFile(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}

bool ExceedsSizeLimit(int64_t size) {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
    return size > static_cast<int64_t>(limit.rlim_cur);
}

// Reserves room for `size` bytes so that a full disk shows before anything
// is written; false only when the disk or the size limit says no.
bool Reserve(int fd, int64_t size) {
    if (size <= 0) return true;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) return true;
    return errno != ENOSPC && errno != EFBIG && errno != EDQUOT;
}

// A name for a new file from `pattern` (ending in XXXXXX), created exclusively.
int CreateUnique(std::string* pattern) {
    std::vector<char> name(pattern->begin(), pattern->end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) pattern->assign(name.data());
    return fd;
}

std::vector<std::string> AttributeNames(int fd) {
    std::vector<std::string> names;
    ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size <= 0) return names;
    std::vector<char> list(static_cast<size_t>(size));
    size = ::flistxattr(fd, list.data(), list.size());
    for (ssize_t at = 0; at < size;) {
        names.emplace_back(list.data() + at);
        at += static_cast<ssize_t>(names.back().size()) + 1;
    }
    return names;
}

// Makes `copy` carry `original`'s extended attributes (ACLs among them) and
// no others; false when one cannot be copied or removed.
bool CopyAttributes(int original, int copy) {
    std::vector<std::string> wanted = AttributeNames(original);
    if (::flistxattr(original, nullptr, 0) < 0 && errno != ENOTSUP) return false;
    for (const std::string& name : AttributeNames(copy)) {
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

std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder == '/' ? folder : "/var/tmp";
}

}  // namespace

FileSave::FileSave(const std::string& nativePath) : path_(nativePath) {}

FileSave::~FileSave() {
    if (!committed_) {
        CloseQuietly(&out_);
        // A safety copy that is being copied in is all the new content there
        // is: it stays where the user can find it.
        if (!copyingIn_ && !outPath_.empty()) ::unlink(outPath_.c_str());
    }
    CloseQuietly(&out_);
    CloseQuietly(&source_);
    if (sourceFile_) std::fclose(sourceFile_);
    ReleaseSizeSignal();
}

std::FILE* FileSave::Source() {
    if (sourceFile_ || source_ < 0) return sourceFile_;
    int fd = ::fcntl(source_, F_DUPFD_CLOEXEC, 0);
    sourceFile_ = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
    if (!sourceFile_) {
        CloseQuietly(&fd);
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

bool FileSave::Begin(const FileIdentity& opened, int64_t newSize) {
    if (mode_ != Mode::kNone || failed_ || path_.empty()) return Fail();
    char* resolved = ::realpath(path_.c_str(), nullptr);
    if (!resolved) return Fail();
    target_ = resolved;
    std::free(resolved);
    size_t slash = target_.rfind('/');
    folder_ = slash == 0 ? "/" : target_.substr(0, slash);
    name_ = target_.substr(slash + 1);

    source_ = OpenNoInterrupt(target_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    struct stat original;
    if (source_ < 0 || ::fstat(source_, &original) != 0 || !S_ISREG(original.st_mode) ||
        ::fcntl(source_, F_SETFL, 0) != 0) {
        return Fail();
    }
    opened_ = opened;
    if (IdentityOf(original) != opened) return Fail();
    // Asked the way the kernel decides, so ACLs and capabilities count too.
    if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) return Fail();
    if (newSize >= 0 && ExceedsSizeLimit(newSize)) return Fail();
    if (SafetyCopyWaiting()) return Fail();

    HoldSizeSignal();
    if (original.st_nlink == 1 && OpenReplacement(original)) {
        // mode_ set by OpenReplacement
    } else if (OpenSafetyCopy()) {
        mode_ = Mode::kInPlace;
    } else {
        return Fail();
    }
    if (!Reserve(out_, newSize)) return Fail();
    buffer_.reset(new char[kBufferSize]);
    return true;
}

bool FileSave::OpenReplacement(const struct stat& original) {
    out_ = OpenNoInterrupt(folder_.c_str(), O_TMPFILE | O_RDWR, 0600);
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
    CloseQuietly(&out_);
    if (!outPath_.empty()) ::unlink(outPath_.c_str());
    outPath_.clear();
    mode_ = Mode::kNone;
    return false;
}

bool FileSave::OpenSafetyCopy() {
    outPath_ = folder_ + "/." + name_ + kSafetySuffix;
    out_ = CreateUnique(&outPath_);
    completePath_ = folder_ + "/." + name_ + kCompleteSuffix;
    if (out_ < 0) {
        // A folder this process may not write: the copy waits elsewhere.
        outPath_ = TemporaryFolder() + "/lyparser-safe-XXXXXX";
        out_ = CreateUnique(&outPath_);
        completePath_ = TemporaryFolder() + "/lyparser-saved-" + std::to_string(opened_.device) +
                        "-" + std::to_string(opened_.inode);
    }
    if (out_ < 0) {
        outPath_.clear();
        return false;
    }
    return true;
}

bool FileSave::SafetyCopyWaiting() const {
    struct stat info;
    std::string beside = folder_ + "/." + name_ + kCompleteSuffix;
    std::string elsewhere = TemporaryFolder() + "/lyparser-saved-" +
                            std::to_string(opened_.device) + "-" + std::to_string(opened_.inode);
    return ::lstat(beside.c_str(), &info) == 0 || ::lstat(elsewhere.c_str(), &info) == 0;
}

bool FileSave::Flush() {
    if (buffered_ == 0) return true;
    if (!WriteAll(out_, buffer_.get(), buffered_)) return Fail();
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
    // Large ranges are copied by the kernel: no trip through our buffer, and
    // new page-cache pages come in the kernel's own sizes (filling them from
    // 1 MiB writes was several times slower at times).
    if (length >= static_cast<int64_t>(kBufferSize) && !Flush()) return false;
    while (kernelCopy_ && length >= static_cast<int64_t>(kBufferSize)) {
        loff_t from = offset;
        ssize_t done = ::copy_file_range(fd, &from, out_, nullptr, kBufferSize, 0);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0 &&
            (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            kernelCopy_ = false;  // not between these files: the buffer does it
            break;
        }
        if (done <= 0) return Fail();  // a read error, or the original ends early
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
        if (!ReadAllAt(fd, buffer_.get() + buffered_, part, offset)) return Fail();
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
    if (!Flush() || SyncFile(out_) != 0) return Fail();
    bool done = mode_ == Mode::kInPlace ? CommitInPlace() : CommitByRename();
    if (!done) return Fail();
    committed_ = true;
    ReleaseSizeSignal();
    return true;
}

bool FileSave::CommitByRename() {
    if (!StillTheOpenedFile()) return false;
    if (mode_ == Mode::kUnnamed) {
        // Give the finished file a name only now, so a crash before this
        // point leaves nothing behind.
        std::string procPath = "/proc/self/fd/" + std::to_string(out_);
        for (int attempt = 0; attempt < 16 && outPath_.empty(); ++attempt) {
            static std::atomic<unsigned> counter{0};
            struct timespec now;
            ::clock_gettime(CLOCK_REALTIME, &now);
            std::string name = folder_ + "/." + name_ + ".lyparser-new-" +
                               std::to_string(::getpid()) + "-" + std::to_string(now.tv_nsec) +
                               "-" + std::to_string(counter++);
            if (::linkat(out_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ||
                ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) ==
                    0) {
                outPath_ = name;
            } else if (errno != EEXIST) {
                return false;
            }
        }
        if (outPath_.empty()) return false;
    }
    if (std::rename(outPath_.c_str(), target_.c_str()) != 0) return false;
    outPath_.clear();
    result_ = IdentityOfDescriptor(out_);
    SyncFolder(folder_);
    return true;
}

bool FileSave::CommitInPlace() {
    // The safety copy is whole and on disk: from here on it is what a crash
    // leaves the new content in, under a name that says so.
    std::string safetyFolder = completePath_.substr(0, completePath_.rfind('/'));
    if (::rename(outPath_.c_str(), completePath_.c_str()) != 0) return false;
    outPath_ = completePath_;
    SyncFolder(safetyFolder.empty() ? "/" : safetyFolder);
    if (!StillTheOpenedFile()) return false;

    int target = OpenNoInterrupt(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY);
    struct stat info;
    if (target < 0 || ::fstat(target, &info) != 0 || !IdentityOf(info).SameFile(opened_) ||
        ::fcntl(target, F_SETFL, 0) != 0 || !Reserve(target, written_)) {
        CloseQuietly(&target);
        return false;
    }
    copyingIn_ = true;
    bool copied = true;
    for (int64_t at = 0; copied && at < written_;) {
        size_t part = static_cast<size_t>(
            std::min<int64_t>(written_ - at, static_cast<int64_t>(kBufferSize)));
        copied =
            ReadAllAt(out_, buffer_.get(), part, at) && WriteAllAt(target, buffer_.get(), part, at);
        at += static_cast<int64_t>(part);
    }
    copied =
        copied && ::ftruncate(target, static_cast<off_t>(written_)) == 0 && SyncFile(target) == 0;
    if (copied) result_ = IdentityOfDescriptor(target);
    CloseQuietly(&target);
    if (!copied) return false;
    copyingIn_ = false;
    ::unlink(outPath_.c_str());
    outPath_.clear();
    SyncFolder(safetyFolder.empty() ? "/" : safetyFolder);
    return true;
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
