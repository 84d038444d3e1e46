// One save of a whole file, all or nothing: whatever happens during it (a
// crash, a kill, a power cut, a full disk, a write or read error), the file
// afterwards is the old one or the new one, byte for byte, or it is pending:
// it carries a mark naming a complete, durable copy of the new content, and
// every later save of it, through any name, is refused until the copy is put
// back (see core/pending_copy.h).
//
// The usual path writes the new content to an unnamed file beside the
// original, syncs it, names it, renames it over the original and syncs the
// folder: a crash leaves the old file or the new one. Where a rename would
// change what the file is (it has several links, an owner or group this
// process cannot give back, attributes it cannot copy, or a folder it may not
// write), the save writes in place: the new content goes to a copy (beside
// the file, or in /var/tmp when the folder may not be written), which is
// synced and named, the name synced, the file marked and synced; only then
// are the changed ranges written into the file, which is cut to its new
// length and synced; then the copy and the mark go. A crash before the mark
// leaves the old file (and maybe a named copy nobody points to); after it,
// the old file, the new one, or a pending one. A failure while writing into
// the file puts the old bytes back when they were few enough to keep in
// memory (a change that fits the tag's padding); otherwise the file stays
// pending. docs/saving.md tells what each crash and failure leaves.
//
// Where the file system shares blocks between files (XFS, btrfs), ranges of
// the original are shared with the new file or the copy instead of copied
// (core/block_sharing.h); the steps, their syncs and what a crash leaves are
// the same.
//
// A save holds the file's save lock (core/save_lock.h) from its identity
// check to its end, and checks the identity again under it. It refuses,
// touching nothing, when the path no longer names the file that was opened
// or the file changed since (another program or another save wrote it), when
// this process may not write the file, when the new file would pass the
// process's file size limit, when another save held the lock too long, or
// when the file is pending.
//
// While a save runs, SIGXFSZ is held back in the calling thread, so that a
// write past the size limit fails instead of killing the host.
//
// One object per save, used by one thread.
#ifndef LYPARSER_CORE_FILE_SAVE_H
#define LYPARSER_CORE_FILE_SAVE_H

#include <signal.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/block_sharing.h"
#include "core/failure_reason.h"
#include "core/file_identity.h"
#include "core/md5.h"
#include "core/save_lock.h"

class FileSave {
public:
    explicit FileSave(const std::string& nativePath);
    ~FileSave();  // abandons an unfinished save: the original is untouched
    FileSave(const FileSave&) = delete;
    FileSave& operator=(const FileSave&) = delete;

    // Starts the save of the file `opened` describes; `newSize` is the new
    // content's size, or -1 when it is not known yet. False when the save is
    // refused (see above) or no new file can be made.
    bool Begin(const FileIdentity& opened, int64_t newSize);
    // The original, open for reading from its start with a large buffer
    // (owned by this object); null before Begin.
    std::FILE* Source();

    // Appends to the new content. False once anything has failed.
    bool Write(const void* data, size_t size);
    // Appends `length` bytes of `fd` read from `offset`; a read error or a
    // file that ends first fails the save. Where the file system shares
    // blocks (core/block_sharing.h) and `offset` lies as far into a block as
    // the end of the new content does, the whole blocks of the range are
    // shared instead of copied.
    bool CopyFrom(int fd, int64_t offset, int64_t length);

    // Puts the new content in the original's place; true when every step
    // worked. On false the file is as it was (Replaced() is false), or it
    // holds the new content and a later step failed (the folder sync, the
    // removal of the copy: Replaced() is true), or it is pending.
    bool Commit();
    // After Commit: true when the file holds the new content.
    bool Replaced() const { return replaced_; }
    // After Commit: the file the path names when it holds the new content,
    // or holds its old content again after an in-place write was undone;
    // unknown otherwise.
    const FileIdentity& Result() const { return result_; }

private:
    enum class Mode { kNone, kUnnamed, kNamed, kInPlace };
    struct Range {
        int64_t offset;
        int64_t length;
    };
    struct OldBytes {  // what an in-place write overwrites, kept to put back
        int64_t offset;
        std::string bytes;
    };

    bool Fail();
    bool Fail(lyparser_reason why);  // also reports why (core/failure_reason.h)
    bool OpenReplacement(const struct stat& original);
    bool OpenSafetyCopy();
    bool Flush();
    void StartWriteBack();
    bool ShareMiddle(int fd, int64_t* offset, int64_t* length);
    bool CopyBytes(int fd, int64_t offset, int64_t length);
    bool DigestRange(int fd, int64_t offset, int64_t length);
    bool StillTheOpenedFile() const;
    bool CommitByRename();
    void NoteChanged(int64_t offset, int64_t length);
    bool IsOriginal(int fd) const;
    bool ClearOrRefusePending();
    bool NameCopy();
    bool CommitInPlace();
    bool CopyIn(int target);
    bool CopyRangeIn(int target, int64_t offset, int64_t length);
    bool KeepOldBytes(std::vector<OldBytes>* kept) const;
    bool PutBack(int target, const std::vector<OldBytes>& kept);
    void DropCopy();
    void HoldSizeSignal();
    void ReleaseSizeSignal();

    std::string path_;
    std::string target_;  // the file the path names, links resolved
    std::string folder_;
    std::string name_;
    FileIdentity opened_;
    FileIdentity result_;
    int source_ = -1;  // the file, open for reading and writing, locked
    FileSaveLock lock_;
    std::FILE* sourceFile_ = nullptr;
    std::unique_ptr<char[]> sourceBuffer_;
    int out_ = -1;
    Mode mode_ = Mode::kNone;
    std::string outPath_;       // the new file or the copy while it has a temporary name
    std::string copyFolder_;    // in place: where the copy is
    std::string copyStem_;      // in place: the copy's complete name, up to a unique suffix
    std::string completePath_;  // in place: the copy's name once it is whole
    bool marked_ = false;       // in place: the file carries the mark
    bool copyingIn_ = false;    // in place: the file may hold neither content
    bool failed_ = false;
    bool committed_ = false;
    bool replaced_ = false;
    std::vector<Range> changed_;  // in place: ranges that differ from the original's
    Md5 digest_;                  // in place: of the new content
    std::unique_ptr<char[]> buffer_;
    size_t buffered_ = 0;
    int64_t written_ = 0;
    int64_t reserved_ = 0;
    int64_t sinceWriteBack_ = 0;
    bool kernelCopy_ = true;
    BlockSharing sharing_;  // between the original and the new file or the copy
    bool signalHeld_ = false;
    bool signalWasPending_ = false;
    sigset_t savedMask_;
};

#endif  // LYPARSER_CORE_FILE_SAVE_H
