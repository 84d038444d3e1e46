// Replacing a file's whole content without ever losing it: the new content is
// written to a temporary file beside the original, flushed to disk, and renamed
// over the original, so that a crash or power cut at any moment leaves either
// the whole old file or the whole new one. The original's permission bits
// (and, where allowed, its owner) carry over. A symbolic link is followed: the
// file it names is replaced and the link stays.
//
// One object per replacement, used by one thread.
#ifndef LYPARSER_CORE_FILE_REPLACEMENT_H
#define LYPARSER_CORE_FILE_REPLACEMENT_H

#include <cstdio>
#include <memory>
#include <string>

class FileReplacement {
public:
    // `nativeTarget` names the file to replace; the temporary file is its
    // name followed by `suffix`. Nothing is touched until Create.
    FileReplacement(const std::string& nativeTarget, const std::string& suffix);
    ~FileReplacement();  // removes the temporary file unless committed
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Creates the temporary file for binary writing and returns it (owned by
    // this object); null when the target is not an existing regular file or
    // the temporary file cannot be created. A stale temporary file of the same
    // name, left by an earlier crash, is replaced.
    std::FILE* Create();
    // Hands what was written so far to the disk without waiting for it, so
    // that the final sync has less left to do. False when the flush failed.
    bool StartWriteBack();
    // Flushes and syncs the temporary file, closes it and renames it over the
    // target. False on any failure; the temporary file is then removed and
    // the target is unchanged.
    bool Commit();
    // Closes and removes the temporary file; the target is unchanged.
    void Discard();

    const std::string& TemporaryPath() const { return temporary_; }

private:
    std::string target_;
    std::string suffix_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
};

#endif  // LYPARSER_CORE_FILE_REPLACEMENT_H
