// One save of a whole file, all or nothing: whatever happens during it (a
// crash, a kill, a full disk, a write or read error), the file afterwards is
// either the old one or the new one, byte for byte.
//
// The usual path writes the new content to a file beside the original (an
// unnamed one where the file system allows, so a crash leaves nothing behind),
// syncs it, renames it over the original and syncs the folder. Where a rename
// would change what the file is (it has several links, an owner or group this
// process cannot give back, attributes it cannot copy, or a folder it may not
// write), the new content is written and synced as a safety copy first, then
// copied into the file itself, synced, and only then removed. docs/saving.md
// tells what each path leaves after a crash.
//
// A save refuses, touching nothing, when the path no longer names the file
// that was opened or the file changed since (another program saved it), when
// this process may not write the file, when the new file would pass the
// process's file size limit, or when a complete safety copy of an earlier,
// interrupted save is still waiting to be put back.
//
// While a save runs, SIGXFSZ is held back in the calling thread, so that a
// write past the size limit fails instead of killing the host.
//
// One object per save, used by one thread.
#ifndef LYPARSER_CORE_FILE_SAVE_H
#define LYPARSER_CORE_FILE_SAVE_H

#include <signal.h>

#include <cstdint>
#include <memory>
#include <string>

#include "core/file_identity.h"

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
    // file that ends first fails the save.
    bool CopyFrom(int fd, int64_t offset, int64_t length);

    // Puts the new content in the original's place. False on any failure;
    // the original is then as it was.
    bool Commit();
    // After a commit: the file the path now names.
    const FileIdentity& Result() const { return result_; }

private:
    enum class Mode { kNone, kUnnamed, kNamed, kInPlace };

    bool Fail();
    bool OpenReplacement(const struct stat& original);
    bool OpenSafetyCopy();
    bool Flush();
    void StartWriteBack();
    bool StillTheOpenedFile() const;
    bool CommitByRename();
    bool CommitInPlace();
    bool SafetyCopyWaiting() const;
    void HoldSizeSignal();
    void ReleaseSizeSignal();

    std::string path_;
    std::string target_;  // the file the path names, links resolved
    std::string folder_;
    std::string name_;
    FileIdentity opened_;
    FileIdentity result_;
    int source_ = -1;
    std::FILE* sourceFile_ = nullptr;
    std::unique_ptr<char[]> sourceBuffer_;
    int out_ = -1;
    Mode mode_ = Mode::kNone;
    std::string outPath_;       // a named temporary file or the safety copy
    std::string completePath_;  // the safety copy's name once it is whole
    bool copyingIn_ = false;
    bool failed_ = false;
    bool committed_ = false;
    std::unique_ptr<char[]> buffer_;
    size_t buffered_ = 0;
    int64_t written_ = 0;
    int64_t sinceWriteBack_ = 0;
    bool kernelCopy_ = true;
    bool signalHeld_ = false;
    bool signalWasPending_ = false;
    sigset_t savedMask_;
};

#endif  // LYPARSER_CORE_FILE_SAVE_H
