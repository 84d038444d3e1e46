// SplicedFileStream: a file as TagLib sees it, where every change TagLib
// makes (writing, inserting, removing, truncating) is kept in memory as a
// list of pieces: ranges of the file as it was opened and blocks of new
// bytes. A save that makes the tag bigger moves no audio; WriteTo then
// produces the whole new file in one pass, copying each range of the
// original once.
//
// The stream holds the original open for reading (read-only) and never
// writes to it. One thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_SPLICED_FILE_STREAM_H
#define LYPARSER_PARSERS_SHARED_SPLICED_FILE_STREAM_H

#include <taglib/tiostream.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/file_identity.h"

class FileSave;

class SplicedFileStream : public TagLib::IOStream {
public:
    // Opens `nativePath` for reading; check isOpen(). Anything but a regular
    // file is refused without blocking.
    explicit SplicedFileStream(const std::string& nativePath);
    ~SplicedFileStream() override;

    // Lets readBlock see only the original's bytes before `headEnd` and from
    // `tailStart` on: a read reaching the range between ends there, as at the
    // end of a file, so that a search for something the file lacks stops
    // instead of reading gigabytes. Saves still copy everything. Lifted by
    // a save.
    void LimitReads(int64_t headEnd, int64_t tailStart);
    // What the file was when it was opened (or last saved).
    const FileIdentity& Identity() const { return identity_; }
    // True when TagLib changed anything since the open or the last save.
    bool Modified() const;
    // Saves the stream's content as the file's new content; afterwards the
    // stream reads the new file, unchanged. False (the file and the stream
    // as they were) when the save is refused or fails.
    bool Save();

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, unsigned long start = 0, unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override { return false; }
    bool isOpen() const override { return fd_ >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return position_; }
    long length() override { return length_; }
    void truncate(long length) override;

private:
    struct Piece {
        int64_t length;
        int64_t sourceOffset;                      // a range of the original when `bytes` is null
        std::shared_ptr<const std::string> bytes;  // else new bytes, from `sourceOffset`
    };

    void Replace(int64_t start, int64_t removed, const char* data, size_t size);
    size_t SplitAt(int64_t offset);
    bool WriteTo(FileSave* save) const;
    void Restart(int fd, const FileIdentity& identity);

    std::string path_;
    int fd_ = -1;
    FileIdentity identity_;
    std::vector<Piece> pieces_;
    int64_t length_ = 0;
    int64_t position_ = 0;
    int64_t hiddenStart_ = -1;  // the original's bytes hidden from reads: [hiddenStart_, hiddenEnd_)
    int64_t hiddenEnd_ = -1;
};

#endif  // LYPARSER_PARSERS_SHARED_SPLICED_FILE_STREAM_H
