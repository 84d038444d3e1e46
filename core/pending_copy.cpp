#include "core/pending_copy.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/md5.h"
#include "core/platform_file.h"
#include "core/save_lock.h"

const char kPendingCopyAttribute[] = "user.lyparser.pending-copy";

namespace {

constexpr size_t kReadBlock = 1024 * 1024;
constexpr char kCopyTag[] = "lyparser-saved-";
constexpr char kSharedFolder[] = "/var/tmp";
// Room a copy's name needs besides the file's name: dots, the tag, the key
// (16 + 1 + 20 digits), a dash and a unique suffix of up to 17 characters.
constexpr size_t kCopyNameOverhead = 2 + sizeof kCopyTag + 37 + 1 + 17;

// "FSID-INODE": which file `fd` is, in a form that survives a reboot (st_dev
// of removable disks and btrfs subvolumes does not).
std::string FileKey(int fd) {
    struct statfs fs;
    struct stat info;
    if (::fstatfs(fd, &fs) != 0 || ::fstat(fd, &info) != 0) return std::string();
    unsigned int words[2];
    std::memcpy(words, &fs.f_fsid, sizeof words);
    char key[64];
    std::snprintf(key, sizeof key, "%08x%08x-%llu", words[0], words[1],
                  static_cast<unsigned long long>(info.st_ino));
    return key;
}

// `name` cut to `limit` bytes without splitting a UTF-8 character.
std::string Shortened(const std::string& name, size_t limit) {
    if (name.size() <= limit) return name;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

std::string DescribeErrno() { return std::strerror(errno); }

// Puts the copy open as `copy` back into `fd`, whole, and waits for the disk.
bool WriteBack(int copy, int fd, int64_t size) {
    std::unique_ptr<char[]> buffer(new char[kReadBlock]);
    return CopyBytesAt(copy, fd, 0, size, buffer.get(), kReadBlock) &&
           ::ftruncate(fd, static_cast<off_t>(size)) == 0 && SyncDescriptor(fd);
}

// Removes the copy (only when it is this file's) and then the mark.
bool ClearMark(int fd, const PendingCopy& copy) {
    if (CopyBelongsTo(copy.path, fd) && ::unlink(copy.path.c_str()) != 0 && errno != ENOENT)
        return false;
    return RemovePendingMark(fd);
}

int Repair(int fd, const PendingCopy& mark, bool discard, std::string* message) {
    if (HoldsContentOf(fd, mark)) {
        if (!ClearMark(fd, mark)) {
            *message = "its old save mark cannot be removed: " + DescribeErrno();
            return 1;
        }
        *message = "it holds the saved content already; nothing to repair";
        return 0;
    }
    if (discard) {
        if (!ClearMark(fd, mark)) {
            *message = "the copy " + mark.path + " cannot be removed: " + DescribeErrno();
            return 1;
        }
        *message = "the copy " + mark.path + " was given up; the file stays as it is";
        return 0;
    }
    int copy = OpenDescriptor(mark.path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    struct stat info;
    if (copy < 0 || ::fstat(copy, &info) != 0 || !S_ISREG(info.st_mode)) {
        *message = "its copy " + mark.path + " cannot be read (" + DescribeErrno() +
                   "); --discard keeps the file as it is";
        CloseDescriptor(&copy);
        return 1;
    }
    int status = 1;
    if (!CopyBelongsTo(mark.path, fd)) {
        *message = mark.path + " is a copy of another file; --discard keeps the file as it is";
    } else if (!HoldsContentOf(copy, mark)) {
        *message = mark.path + " is not the complete copy; --discard keeps the file as it is";
    } else if (!WriteBack(copy, fd, mark.size)) {
        *message = "the copy could not be written back (" + DescribeErrno() + "); run it again";
    } else if (!ClearMark(fd, mark) || !SyncFolder(FolderOf(mark.path), copy)) {
        *message =
            "put back, but the copy " + mark.path + " could not be removed: " + DescribeErrno();
    } else {
        *message = "put back from " + mark.path;
        status = 0;
    }
    CloseDescriptor(&copy);
    return status;
}

}  // namespace

int ReadPendingMark(int fd, PendingCopy* copy) {
    char value[4096 + 64];
    ssize_t size = ::fgetxattr(fd, kPendingCopyAttribute, value, sizeof value - 1);
    if (size < 0) return errno == ENODATA || errno == ENOTSUP ? 0 : -1;
    value[size] = '\0';
    // PATH, SIZE and DIGEST, one a line.
    char* sizeLine = std::strchr(value, '\n');
    char* digestLine = sizeLine ? std::strchr(sizeLine + 1, '\n') : nullptr;
    if (!digestLine) return -1;
    copy->path.assign(value, sizeLine);
    copy->size = std::strtoll(sizeLine + 1, nullptr, 10);
    copy->digest = digestLine + 1;
    return copy->path.empty() || copy->path[0] != '/' || copy->size < 0 ? -1 : 1;
}

bool WritePendingMark(int fd, const PendingCopy& copy) {
    const std::string value = copy.path + "\n" + std::to_string(copy.size) + "\n" + copy.digest;
    if (::fsetxattr(fd, kPendingCopyAttribute, value.data(), value.size(), 0) != 0) return false;
    if (SyncDescriptor(fd)) return true;
    const int error = errno;
    RemovePendingMark(fd);
    errno = error;
    return false;
}

bool RemovePendingMark(int fd) {
    return ::fremovexattr(fd, kPendingCopyAttribute) == 0 || errno == ENODATA;
}

std::string DigestOfFile(int fd, int64_t size, char* buffer, size_t bufferSize) {
    Md5 md5;
    for (int64_t at = 0; at < size;) {
        const size_t part = static_cast<size_t>(std::min<int64_t>(size - at, bufferSize));
        if (!ReadAllAt(fd, buffer, part, at)) return std::string();
        md5.Update(buffer, part);
        at += static_cast<int64_t>(part);
    }
    unsigned char digest[Md5::kDigestSize];
    md5.Finish(digest);
    return MD5ToHex(digest);
}

bool HoldsContentOf(int fd, const PendingCopy& copy) {
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size != copy.size) return false;
    std::unique_ptr<char[]> buffer(new char[kReadBlock]);
    return DigestOfFile(fd, copy.size, buffer.get(), kReadBlock) == copy.digest;
}

std::string CopyNameStem(int fd, const std::string& folder, const std::string& name) {
    const std::string key = FileKey(fd);
    if (key.empty()) return std::string();
    if (folder.empty()) return std::string(kSharedFolder) + "/" + kCopyTag + key + "-";
    return folder + "/." + Shortened(name, NAME_MAX - kCopyNameOverhead) + "." + kCopyTag + key +
           "-";
}

bool CopyBelongsTo(const std::string& copyPath, int fd) {
    const std::string key = FileKey(fd);
    const std::string base = copyPath.substr(copyPath.rfind('/') + 1);
    return !key.empty() && base.find(kCopyTag + key + "-") != std::string::npos;
}

bool SharedCopyFolder(std::string* folder) {
    struct statfs fs;
    struct stat info;
    if (::statfs(kSharedFolder, &fs) != 0 || ::stat(kSharedFolder, &info) != 0) return false;
    const bool volatileMemory = fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC;
    // Others may add files there, never replace or remove ours.
    const bool guarded = (info.st_mode & S_ISVTX) || !(info.st_mode & (S_IWGRP | S_IWOTH));
    if (volatileMemory || !S_ISDIR(info.st_mode) || !guarded) return false;
    *folder = kSharedFolder;
    return true;
}

std::string PendingCopyOf(const std::string& nativePath) {
    int fd = OpenDescriptor(nativePath, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    PendingCopy copy;
    const bool pending = fd >= 0 && ReadPendingMark(fd, &copy) == 1 && !HoldsContentOf(fd, copy);
    CloseDescriptor(&fd);
    return pending ? copy.path : std::string();
}

int RepairPendingCopy(const std::string& nativePath, bool discard, std::string* message) {
    int fd = OpenDescriptor(nativePath, O_RDWR | O_NONBLOCK | O_NOCTTY);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *message = fd < 0 ? DescribeErrno() : "not a regular file";
        CloseDescriptor(&fd);
        return 1;
    }
    // No save of the file runs meanwhile.
    FileSaveLock lock;
    if (!lock.Take(fd)) {
        *message = "another save of it is under way; try again";
        CloseDescriptor(&fd);
        return 1;
    }
    PendingCopy mark;
    int status = 0;
    switch (ReadPendingMark(fd, &mark)) {
        case 0:
            *message = "no interrupted save is waiting for it";
            break;
        case 1:
            status = Repair(fd, mark, discard, message);
            break;
        default:
            *message = "its save mark cannot be read: " + DescribeErrno();
            status = 1;
    }
    lock.Release();
    CloseDescriptor(&fd);
    return status;
}
