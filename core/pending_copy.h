// The complete copy an in-place save keeps while it writes into a file, and
// the mark on the file that points to it.
//
// Before an in-place save writes the first byte into a file, the whole new
// content is on disk in a copy whose name is on disk too, and the file itself
// carries the extended attribute user.lyparser.pending-copy: the copy's path,
// its size and the MD5 digest of its content. The mark belongs to the file,
// not to one of its names, so a save through any name, in any process and
// whatever its environment, finds it. A file is pending while it carries a
// mark and does not hold the content the mark records: no save touches it
// until the copy is put back or given up (RepairPendingCopy). A mark on a
// file that holds the recorded content is a leftover, and the next save
// clears it.
//
// A copy's name holds the file system's persistent id (statfs f_fsid) and
// the file's inode, so that a copy is never taken for another file's; its
// digest tells the complete copy from anything else under that name.
//
// Thread-safe.
#ifndef LYPARSER_CORE_PENDING_COPY_H
#define LYPARSER_CORE_PENDING_COPY_H

#include <cstdint>
#include <string>

struct PendingCopy {
    std::string path;    // absolute
    int64_t size = -1;   // of the new content
    std::string digest;  // MD5 of the new content, lower-case hexadecimal
};

// The extended attribute that marks a pending file.
extern const char kPendingCopyAttribute[];

// Reads the mark of the open file `fd`: 1 when there is one (into *copy), 0
// when there is none or the file system keeps no attributes, -1 when it
// cannot be read.
int ReadPendingMark(int fd, PendingCopy* copy);
// Marks `fd` and waits until the mark is on disk; false (with no mark left,
// where that can be helped) on failure.
bool WritePendingMark(int fd, const PendingCopy& copy);
bool RemovePendingMark(int fd);

// True when the open file `fd` holds exactly the content `copy` records.
bool HoldsContentOf(int fd, const PendingCopy& copy);
// The MD5 digest of the first `size` bytes of `fd`, read through `buffer`;
// empty on a read error.
std::string DigestOfFile(int fd, int64_t size, char* buffer, size_t bufferSize);

// Where copies of the file open as `fd` are named, up to a suffix that makes
// each unique: "FOLDER/.NAME.lyparser-saved-KEY-" beside the file, or
// "/var/tmp/lyparser-saved-KEY-" when `folder` is empty. Empty when the file
// system's id cannot be read.
std::string CopyNameStem(int fd, const std::string& folder, const std::string& name);
// True when `copyPath` names a copy of the file open as `fd`.
bool CopyBelongsTo(const std::string& copyPath, int fd);
// The folder for the copies of files whose own folder may not be written:
// /var/tmp, whatever TMPDIR says. False when it does not survive a power cut
// (tmpfs, ramfs) or other users could replace what is in it.
bool SharedCopyFolder(std::string* folder);

// The copy's path when the file at `nativePath` is pending, else "".
std::string PendingCopyOf(const std::string& nativePath);

// Puts the copy of the pending file at `nativePath` back into it, or with
// `discard` removes the copy and keeps the file as it is; either only after
// checking that the copy is this file's and whole. 0 when done or when there
// was nothing to do, else 1; *message says what happened or why not.
int RepairPendingCopy(const std::string& nativePath, bool discard, std::string* message);

#endif  // LYPARSER_CORE_PENDING_COPY_H
