#include "core/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

constexpr size_t kWriteBuffer = 256 * 1024;

// The file a path finally names, with links resolved; empty when it does not exist.
std::string ResolvedPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::string();
    std::string result(resolved);
    std::free(resolved);
    return result;
}

int CreateExclusive(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Makes the new file's bits match the original's; the owner only where allowed.
bool CopyOwnership(int fd, const struct stat& original) {
    if (::fchmod(fd, original.st_mode & 07777) != 0) return false;
    if (original.st_uid != ::geteuid() || original.st_gid != ::getegid()) {
        if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
            // Not allowed to give the file away: keep what we may, the bits.
            (void)::fchmod(fd, original.st_mode & 0777);
        }
    }
    return true;
}

void SyncFolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

FileReplacement::FileReplacement(const std::string& nativeTarget, const std::string& suffix)
    : target_(nativeTarget), suffix_(suffix) {}

FileReplacement::~FileReplacement() { Discard(); }

std::FILE* FileReplacement::Create() {
    Discard();
    std::string target = ResolvedPath(target_);
    struct stat original;
    if (target.empty() || ::stat(target.c_str(), &original) != 0 || !S_ISREG(original.st_mode)) return nullptr;
    std::string temporary = target + suffix_;
    int fd = CreateExclusive(temporary);
    struct stat stale;
    if (fd < 0 && errno == EEXIST && ::lstat(temporary.c_str(), &stale) == 0 &&
        (S_ISREG(stale.st_mode) || S_ISLNK(stale.st_mode)) && ::unlink(temporary.c_str()) == 0) {
        fd = CreateExclusive(temporary);
    }
    if (fd < 0) return nullptr;
    temporary_ = temporary;
    target_ = target;
    if (!CopyOwnership(fd, original)) {
        ::close(fd);
        Discard();
        return nullptr;
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        Discard();
        return nullptr;
    }
    buffer_.reset(new char[kWriteBuffer]);
    std::setvbuf(file_, buffer_.get(), _IOFBF, kWriteBuffer);
    return file_;
}

bool FileReplacement::StartWriteBack() {
    if (!file_ || std::fflush(file_) != 0) return false;
    // Only a hint: where the kernel cannot start write-back now, Commit's sync does it all.
    (void)::sync_file_range(::fileno(file_), 0, 0, SYNC_FILE_RANGE_WRITE);
    return true;
}

bool FileReplacement::Commit() {
    if (!file_) return false;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && ::fsync(::fileno(file_)) == 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        Discard();
        return false;
    }
    temporary_.clear();
    SyncFolderOf(target_);
    return true;
}

void FileReplacement::Discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    buffer_.reset();
}
