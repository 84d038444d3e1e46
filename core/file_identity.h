// What a file was when the module opened it: which file (device and inode)
// and in what state (size, modification time, and change time, which no
// program can set back: a writer that restores the modification time still
// shows). A save compares it with what the path names now, so that it never
// writes over a file another program replaced or changed in the meantime.
#ifndef LYPARSER_CORE_FILE_IDENTITY_H
#define LYPARSER_CORE_FILE_IDENTITY_H

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>

struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = -1;  // -1: nothing recorded
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;

    bool IsKnown() const { return size >= 0; }
    bool SameFile(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
    bool operator==(const FileIdentity& other) const {
        return SameFile(other) && size == other.size && modifiedNs == other.modifiedNs &&
               changedNs == other.changedNs;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

FileIdentity IdentityOf(const struct stat& info);
// The identity of an open file; an unknown one when fstat fails.
FileIdentity IdentityOfDescriptor(int fd);
FileIdentity IdentityOfFile(std::FILE* file);

#endif  // LYPARSER_CORE_FILE_IDENTITY_H
