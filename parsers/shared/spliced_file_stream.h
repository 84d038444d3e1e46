// SplicedFileStream: a file as TagLib sees it, where every change TagLib
// makes (writing, inserting, removing, truncating) is kept in memory as a
// list of pieces: ranges of the file as it was opened and blocks of new
// bytes. A save that makes the tag bigger moves no audio; WriteTo then
// produces the whole new file in one pass, copying each range of the
// original once.
//
// Reading: the original is opened read-only (never mapped, so an I/O error is
// a short read, not a signal) and read in a few blocks: the whole of a file
// up to 64 KiB in one read, else its last 8 KiB and aligned 8 KiB blocks
// wherever TagLib reads (the first holds the start of the ID3v2 tag, another
// the frames after it); a read of 8 KiB or more (a tag holding pictures) goes
// straight into the caller's buffer. TagLib's many small reads are served
// from those blocks. Their buffers (64 KiB each, up to three) stay with the
// thread between uses, so that reading a file allocates nothing.
//
// Release lets go of the descriptor and of every block. The next read or save
// opens the path again, and uses it only when it still names the same file
// in the same state (device, inode, size, modification time) as when it was
// opened or last saved: otherwise reads of the original end there, as at the
// end of the file, and saves are refused. Edits are kept across a release.
// One thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_SPLICED_FILE_STREAM_H
#define LYPARSER_PARSERS_SHARED_SPLICED_FILE_STREAM_H

#include <taglib/tiostream.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/file_identity.h"
#include "core/platform_file.h"

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
    // Closes the descriptor and drops every block read; see above.
    void Release();
    // What the file was when it was opened (or last saved).
    const FileIdentity& Identity() const { return identity_; }
    // True when TagLib changed anything since the open or the last save.
    bool Modified() const;
    // What a save did: kNotSaved, the file and the stream as they were;
    // kSaved, the stream reads the new file, unchanged; kSavedWithError, the
    // same, but a step after the file was written failed (docs/saving.md).
    enum class SaveResult { kNotSaved, kSaved, kSavedWithError };
    // Saves the stream's content as the file's new content.
    SaveResult Save();
    // The bytes of padding a format may put right before `at`, where a range
    // of the original starts in the content as it now stands (the audio after
    // a tag that changed size), so that a save shares the range's blocks
    // instead of copying it (core/block_sharing.h); `minimum` is the smallest
    // padding the format can write, `moveBy` how far an edit the format is
    // about to make in front of `at` moves the range. With `room` bytes of
    // padding there already that may give way, the answer is negative (as low
    // as -`room`) where shrinking that padding by less than a block aligns the
    // range: repeated saves then never pile padding up. 0 where the file
    // system does not share blocks, where the range keeps its alignment
    // already, or where new bytes start at `at`.
    int64_t AlignmentPadding(int64_t at, int64_t minimum = 0, int64_t moveBy = 0, int64_t room = 0);

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, unsigned long start = 0,
                unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    // True when this process may not write the file now: TagLib then leaves
    // its tags, in memory too, as they are instead of saving or stripping.
    bool readOnly() const override;
    // True once the file was opened, also between a release and the next read.
    bool isOpen() const override { return identity_.IsKnown(); }
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
    struct Block {  // bytes of the original read ahead
        int64_t offset;
        int64_t size;
        std::unique_ptr<char[]> bytes;
    };

    void Replace(int64_t start, int64_t removed, const char* data, size_t size);
    size_t SplitAt(int64_t offset);
    bool WriteTo(FileSave* save) const;
    void Restart(const FileIdentity& identity);
    bool Attach();
    int64_t ReadOriginal(int64_t offset, char* into, int64_t count);
    const Block* FindBlock(int64_t offset) const;
    const Block* LoadBlock(int64_t offset);

    std::string path_;
    FileReader file_;  // open from the open, or the first read after a release, to the next release
    bool refused_ =
        false;  // the path named another file, or this one changed: until the next release
    FileIdentity identity_;
    std::vector<Piece> pieces_;
    std::vector<Block> blocks_;
    int64_t length_ = 0;
    int64_t position_ = 0;
    int64_t hiddenStart_ =
        -1;  // the original's bytes hidden from reads: [hiddenStart_, hiddenEnd_)
    int64_t hiddenEnd_ = -1;
};

#endif  // LYPARSER_PARSERS_SHARED_SPLICED_FILE_STREAM_H
