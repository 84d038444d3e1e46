#include "core/block_sharing.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "core/platform_file.h"

namespace {

// A mount's id that is never given to another mount (Linux 6.8 on); older
// kernels give one that is unique among the mounts of the moment (5.8 on).
constexpr unsigned kUniqueMountId = 0x4000U;

// A mounted file system: its device and its mount's id, so that a device
// number taken by another file system later is not mistaken for it.
using FileSystemKey = std::pair<uint64_t, uint64_t>;

std::mutex knownLock;
std::map<FileSystemKey, BlockSharing>& Known() {
    static std::map<FileSystemKey, BlockSharing>* known =
        new std::map<FileSystemKey, BlockSharing>();  // never destroyed: saves may run at exit
    return *known;
}

bool KeyOf(int fd, FileSystemKey* key) {
    struct statx info;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID | kUniqueMountId, &info) == 0) {
        const bool mounted = info.stx_mask & (STATX_MNT_ID | kUniqueMountId);
        *key = {::makedev(info.stx_dev_major, info.stx_dev_minor), mounted ? info.stx_mnt_id : 0};
        return true;
    }
    struct stat old;  // a kernel without statx: the device alone
    if (::fstat(fd, &old) != 0) return false;
    *key = {old.st_dev, 0};
    return true;
}

bool NeverShares(long type) {
    return type == EXT4_SUPER_MAGIC || type == TMPFS_MAGIC || type == RAMFS_MAGIC;
}

// Clones one block of an unnamed file in `folder` onto its next block. 1 when
// the file system shares blocks, 0 when it does not, -1 when the probe could
// not be made there (a folder not writable, a full disk, another file system).
int Probe(const std::string& folder, uint64_t device, int64_t blockSize) {
    int fd = OpenDescriptor(folder, O_TMPFILE | O_RDWR, 0600);
    if (fd < 0) return -1;
    struct stat info;
    const std::vector<char> block(static_cast<size_t>(blockSize), 'b');
    int answer = -1;
    if (::fstat(fd, &info) == 0 && info.st_dev == device &&
        WriteAllAt(fd, block.data(), block.size(), 0)) {
        const int error = ShareRange(fd, 0, fd, blockSize, blockSize);
        answer = error == 0 ? 1 : ShareRefused(error) ? 0 : -1;
    }
    ::close(fd);
    return answer;
}

}  // namespace

BlockSharing BlockSharingOf(int fd, const std::string& folder) {
    FileSystemKey key;
    if (!KeyOf(fd, &key)) return BlockSharing();
    {
        std::lock_guard<std::mutex> hold(knownLock);
        auto known = Known().find(key);
        if (known != Known().end()) return known->second;
    }
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0) return BlockSharing();
    BlockSharing sharing;
    sharing.blockSize = fs.f_bsize;
    const bool sane =
        fs.f_bsize >= 512 && fs.f_bsize <= (1 << 20) && (fs.f_bsize & (fs.f_bsize - 1)) == 0;
    if (!sane || NeverShares(fs.f_type)) {
        sharing.blockSize = sane ? fs.f_bsize : 0;
    } else {
        const int probed = Probe(folder, key.first, fs.f_bsize);
        if (probed < 0) return sharing;  // no answer: ask again next time
        sharing.shares = probed == 1;
    }
    std::lock_guard<std::mutex> hold(knownLock);
    Known()[key] = sharing;
    return sharing;
}

int64_t AlignmentPadding(const BlockSharing& sharing, int64_t oldOffset, int64_t newOffset,
                         int64_t minimum) {
    if (!sharing.shares || sharing.blockSize <= 0) return 0;
    const int64_t block = sharing.blockSize;
    int64_t padding = ((oldOffset - newOffset) % block + block) % block;
    while (padding > 0 && padding < minimum) padding += block;
    return padding;
}

int ShareRange(int from, int64_t fromOffset, int to, int64_t toOffset, int64_t length) {
    struct file_clone_range range;
    range.src_fd = from;
    range.src_offset = static_cast<uint64_t>(fromOffset);
    range.src_length = static_cast<uint64_t>(length);
    range.dest_offset = static_cast<uint64_t>(toOffset);
    while (::ioctl(to, FICLONERANGE, &range) != 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

bool ShareRefused(int error) {
    return error == EOPNOTSUPP || error == ENOTTY || error == EXDEV || error == EINVAL ||
           error == ENOSYS || error == EPERM || error == ETXTBSY || error == EBADF;
}
