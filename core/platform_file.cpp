#include "core/platform_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "core/code_page.h"
#include "core/string_ex.h"

void FileCloser::operator()(std::FILE* file) const {
    if (file) std::fclose(file);
}

std::string NativePathW(const std::wstring& path) {
    std::string native;
    if (WideToCodePageExact(path, &native)) return native;
    // The locale cannot spell the name: file names here are UTF-8 by convention.
    return WideToUtf8(path);
}

std::string NativePath(StringEx path) {
    return path.IsWide() ? NativePathW(path.Wide()) : path.Narrow();
}

namespace {

// Opens `path` with `flags` without ever blocking, and keeps it only when it
// is a regular file. Returns the descriptor, still non-blocking, or -1; *info
// receives the file's status.
int OpenRegular(const std::string& path, int flags, mode_t mode, struct stat* info) {
    if (path.empty()) return -1;
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    if (::fstat(fd, info) != 0 || !S_ISREG(info->st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// OpenRegular for reading or writing: the descriptor is made blocking again
// (the only status flag these opens set is O_NONBLOCK).
int OpenRegularBlocking(const std::string& path, int flags, mode_t mode) {
    struct stat info;
    int fd = OpenRegular(path, flags, mode, &info);
    if (fd >= 0 && ::fcntl(fd, F_SETFL, 0) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

FilePtr Wrap(int fd, const char* mode) {
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, mode);
    if (!file) ::close(fd);
    return FilePtr(file);
}

}  // namespace

FilePtr OpenReadFile(const std::string& nativePath) {
    return Wrap(OpenRegularBlocking(nativePath, O_RDONLY, 0), "rb");
}

bool RegularFileSize(const std::string& nativePath, int64_t* size) {
    struct stat info;
    int fd = OpenRegular(nativePath, O_RDONLY, 0, &info);  // proves it can be read
    if (fd < 0) return false;
    ::close(fd);
    if (size) *size = static_cast<int64_t>(info.st_size);
    return true;
}

int64_t FileLength(std::FILE* file) {
    struct stat info;
    if (!file || ::fstat(::fileno(file), &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
}

int64_t ReadAt(std::FILE* file, int64_t offset, void* buffer, int64_t count) {
    if (!file || offset < 0 || count < 0) return -1;
    if (::fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) return -1;
    size_t got = std::fread(buffer, 1, static_cast<size_t>(count), file);
    if (got < static_cast<size_t>(count) && std::ferror(file)) return -1;
    return static_cast<int64_t>(got);
}

FileReader::FileReader(const std::string& nativePath) {
    struct stat info;
    // One open and one status: the non-blocking flag stays, as regular files
    // ignore it.
    fd_ = OpenRegular(nativePath, O_RDONLY, 0, &info);
    if (fd_ >= 0) identity_ = IdentityOf(info);
}

FileReader::FileReader(FileReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      identity_(std::exchange(other.identity_, FileIdentity())) {}

FileReader& FileReader::operator=(FileReader&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        identity_ = std::exchange(other.identity_, FileIdentity());
    }
    return *this;
}

void FileReader::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool FileReader::MakeBlocking() { return fd_ >= 0 && ::fcntl(fd_, F_SETFL, 0) == 0; }

int64_t FileReader::ReadAt(int64_t offset, void* buffer, int64_t count) {
    if (fd_ < 0 || offset < 0) return 0;
    char* into = static_cast<char*>(buffer);
    int64_t done = 0;
    bool askedToWait = false;
    while (done < count) {
        ssize_t n = ::pread(fd_, into + done, static_cast<size_t>(count - done),
                            static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        // A file system that honours the non-blocking open for files: wait.
        if (n < 0 && errno == EAGAIN && !askedToWait) {
            askedToWait = true;
            if (MakeBlocking()) continue;
        }
        if (n <= 0) break;
        done += n;
    }
    return done;
}

// The fuzz build saves thousands of files a second into a scratch folder; it
// skips waiting for the disk, and nothing else.
#ifdef LY_SAVE_WITHOUT_SYNC
bool SyncDescriptor(int fd) { return fd >= 0; }
#else
bool SyncDescriptor(int fd) { return ::fsync(fd) == 0; }
#endif

int OpenDescriptor(const std::string& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void CloseDescriptor(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

bool WriteAllAt(int fd, const void* data, size_t size, int64_t offset) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t done = offset < 0 ? ::write(fd, bytes, size)
                                  : ::pwrite(fd, bytes, size, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done == 0) errno = EIO;
        if (done <= 0) return false;
        bytes += done;
        size -= static_cast<size_t>(done);
        if (offset >= 0) offset += done;
    }
    return true;
}

bool ReadAllAt(int fd, void* data, size_t size, int64_t offset) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t got = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) errno = ENODATA;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<size_t>(got);
        offset += got;
    }
    return true;
}

bool CopyBytesAt(int from, int to, int64_t offset, int64_t length, char* buffer,
                 size_t bufferSize) {
    while (length > 0) {
        const size_t part = static_cast<size_t>(std::min<int64_t>(length, bufferSize));
        if (!ReadAllAt(from, buffer, part, offset) || !WriteAllAt(to, buffer, part, offset))
            return false;
        offset += static_cast<int64_t>(part);
        length -= static_cast<int64_t>(part);
    }
    return true;
}

bool SyncFolder(const std::string& folder, int onSameFileSystem) {
    int fd = OpenDescriptor(folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
#ifdef LY_SAVE_WITHOUT_SYNC
        return onSameFileSystem >= 0;
#else
        return onSameFileSystem >= 0 && ::syncfs(onSameFileSystem) == 0;
#endif
    }
    const bool synced = SyncDescriptor(fd) || errno == EINVAL;
    ::close(fd);
    return synced;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string RealFolderOf(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::string();
    const std::string folder = FolderOf(resolved);
    std::free(resolved);
    return folder;
}
