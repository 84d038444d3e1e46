// File access for the whole module: the only place that opens files.
//
// Only regular files are ever opened for their content: a folder, FIFO,
// socket or device is refused without blocking. Paths come as StringEx
// values; a wide path is opened through its code-page form (UTF-8 when the
// code page cannot hold it). The save path's own calls (positioned writes,
// syncs) are here too, each retried when a signal interrupts it.
// Thread-safe.
#ifndef LYPARSER_CORE_PLATFORM_FILE_H
#define LYPARSER_CORE_PLATFORM_FILE_H

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/file_identity.h"

class StringEx;

struct FileCloser {
    void operator()(std::FILE* file) const;
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The name to hand to the operating system for `path`, in the width the path
// was set in. Empty for an empty path.
std::string NativePath(StringEx path);
std::string NativePathW(const std::wstring& path);

// Opens an existing regular file for binary reading; null on any failure.
FilePtr OpenReadFile(const std::string& nativePath);

// Size of an existing regular file; false when it is missing, unreadable or
// not a regular file.
bool RegularFileSize(const std::string& nativePath, int64_t* size);

// Length of an open file; -1 on error.
int64_t FileLength(std::FILE* file);

// Reads up to `count` bytes at `offset`; returns the bytes read (short at end
// of file), -1 on error.
int64_t ReadAt(std::FILE* file, int64_t offset, void* buffer, int64_t count);

// A regular file open read-only by its descriptor, for positioned reads with
// no buffer in between. Never mapped: an I/O error is a short read, never a
// signal. Closed with the object. One thread at a time.
class FileReader {
public:
    FileReader() = default;
    // Opens an existing regular file without ever blocking on it; check
    // IsOpen().
    explicit FileReader(const std::string& nativePath);
    ~FileReader() { Close(); }
    FileReader(FileReader&& other) noexcept;
    FileReader& operator=(FileReader&& other) noexcept;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // The descriptor, for calls that copy from it; -1 when not open.
    int Descriptor() const { return fd_; }
    // What the file was when it was opened.
    const FileIdentity& Identity() const { return identity_; }
    // Reads up to `count` bytes at `offset`, going on after short reads;
    // returns the bytes read, fewer only at the end of the file or on an
    // error.
    int64_t ReadAt(int64_t offset, void* buffer, int64_t count);
    // Makes every read wait for its bytes (the open does not ask for that,
    // and regular files ignore it; see ReadAt). False on failure.
    bool MakeBlocking();
    void Close();

private:
    int fd_ = -1;
    FileIdentity identity_;
};

// The save path's system calls. Each fails with errno set.
// open(2) with O_CLOEXEC added; -1 on failure.
int OpenDescriptor(const std::string& path, int flags, mode_t mode = 0);
// Closes *fd when it is open and sets it to -1.
void CloseDescriptor(int* fd);
// Writes all of `data` at `offset`, or at the file position when `offset`
// is negative; false on an error.
bool WriteAllAt(int fd, const void* data, size_t size, int64_t offset);
// Reads exactly `size` bytes at `offset`; false on an error, or on an early
// end with errno ENODATA.
bool ReadAllAt(int fd, void* data, size_t size, int64_t offset);
// Copies `length` bytes at `offset` of `from` to the same offset of `to`
// through `buffer` (`bufferSize` bytes); false on any error.
bool CopyBytesAt(int from, int to, int64_t offset, int64_t length, char* buffer, size_t bufferSize);
// Waits until the file's content and attributes are on disk (fsync).
bool SyncDescriptor(int fd);
// Waits until the names in `folder` are on disk: fsync of the folder, or,
// when it cannot be opened (a write-only folder), syncfs of the file system
// that holds `onSameFileSystem`. True too where folders cannot be synced
// (EINVAL): their renames are as durable as they get.
bool SyncFolder(const std::string& folder, int onSameFileSystem);
// The folder part of `path` ("/" for a file at the root).
std::string FolderOf(const std::string& path);
// The folder that holds the file `path` names, links followed; empty when the
// path cannot be resolved.
std::string RealFolderOf(const std::string& path);

#endif  // LYPARSER_CORE_PLATFORM_FILE_H
