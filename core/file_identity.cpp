#include "core/file_identity.h"

FileIdentity IdentityOf(const struct stat& info) {
    FileIdentity identity;
    identity.device = static_cast<uint64_t>(info.st_dev);
    identity.inode = static_cast<uint64_t>(info.st_ino);
    identity.size = static_cast<int64_t>(info.st_size);
    identity.modifiedNs =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.changedNs =
        static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return identity;
}

FileIdentity IdentityOfFile(std::FILE* file) {
    return file ? IdentityOfDescriptor(::fileno(file)) : FileIdentity();
}

FileIdentity IdentityOfDescriptor(int fd) {
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0) return FileIdentity();
    return IdentityOf(info);
}
