// Blocks shared between files: on file systems that have them (XFS made with
// reflink=1, btrfs), a range of one file can be made part of another without
// copying a byte, provided both ranges start on a block boundary. A save then
// costs what its new bytes cost, not what the file does.
//
// Whether a file system shares blocks is learned once per mounted file system
// and process: by its type (ext2/3/4, tmpfs and ramfs never share; nothing is
// tried there), else by cloning one block between two ranges of an unnamed
// file made for that purpose. Thread-safe.
#ifndef LYPARSER_CORE_BLOCK_SHARING_H
#define LYPARSER_CORE_BLOCK_SHARING_H

#include <cstdint>
#include <string>

struct BlockSharing {
    int64_t blockSize = 0;  // the file system's block size (statfs f_bsize); 0 when unknown
    bool shares = false;    // ranges aligned to blockSize can be shared between files
};

// How the file system holding the open file `fd` shares blocks; `folder`, a
// folder on that file system, holds the probe. Never shares where the probe
// could not be made (a folder this process may not write, or on another file
// system); only a clear answer is remembered.
BlockSharing BlockSharingOf(int fd, const std::string& folder);

// The bytes of padding to add in front of content that was at `oldOffset` and
// will be at `newOffset`, so that it keeps its offset modulo the block size and
// a save can share its blocks: the smallest p with p == 0 or p >= `minimum`
// (the size of the smallest padding the format can write) that does it, so
// less than `minimum` plus one block. 0 where the file system does not share
// blocks: files there never grow for this.
int64_t AlignmentPadding(const BlockSharing& sharing, int64_t oldOffset, int64_t newOffset,
                         int64_t minimum = 0);

// Makes `length` bytes of `to` from `toOffset` share the blocks of `from` at
// `fromOffset` (both offsets and `length` multiples of the block size). 0 on
// success, else the errno value; ShareRefused tells a refusal (nothing was
// changed: copy the bytes instead) from a failure.
int ShareRange(int from, int64_t fromOffset, int to, int64_t toOffset, int64_t length);
bool ShareRefused(int error);

#endif  // LYPARSER_CORE_BLOCK_SHARING_H
