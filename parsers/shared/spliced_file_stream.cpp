#include "parsers/shared/spliced_file_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/block_sharing.h"
#include "core/failure_reason.h"
#include "core/file_save.h"

namespace {

// The size of a block read ahead, a power of two; reads of this size or more
// bypass the blocks.
constexpr int64_t kBlockSize = 8 * 1024;
// A file up to this size is read whole, in one read; the size of every
// block's buffer.
constexpr int64_t kWholeFile = 64 * 1024;
// Blocks kept at most within one use of the file: past that they start over.
constexpr size_t kMaxBlocks = 64;
// Buffers each thread keeps between uses of files: enough for the head, the
// tail and the first frames after a large tag.
constexpr size_t kSpareBuffers = 3;

// Block buffers, kept by each thread between uses of a file, so that reading
// one allocates nothing: a large allocation each time would cost more than
// the reads it saves (it makes the allocator sort all its small free blocks).
// Once the thread's list is destroyed (the thread ends, or a stream outlives
// it in a static object), buffers are simply allocated and freed.
thread_local bool spareBuffersGone = false;

struct SpareBuffers {
    ~SpareBuffers() { spareBuffersGone = true; }
    std::vector<std::unique_ptr<char[]>> buffers;
};

SpareBuffers* ThisThreadsSpareBuffers() {
    if (spareBuffersGone) return nullptr;
    thread_local SpareBuffers spare;
    return &spare;
}

std::unique_ptr<char[]> TakeBuffer() {
    SpareBuffers* spare = ThisThreadsSpareBuffers();
    if (!spare || spare->buffers.empty())
        return std::unique_ptr<char[]>(new char[static_cast<size_t>(kWholeFile)]);
    std::unique_ptr<char[]> buffer = std::move(spare->buffers.back());
    spare->buffers.pop_back();
    return buffer;
}

void GiveBack(std::unique_ptr<char[]> buffer) {
    SpareBuffers* spare = ThisThreadsSpareBuffers();
    if (spare && buffer && spare->buffers.size() < kSpareBuffers)
        spare->buffers.push_back(std::move(buffer));
}

}  // namespace

SplicedFileStream::SplicedFileStream(const std::string& nativePath) : path_(nativePath) {
    FileReader file(path_);
    if (!file.IsOpen()) return;
    Restart(file.Identity());
    file_ = std::move(file);
}

SplicedFileStream::~SplicedFileStream() { Release(); }

bool SplicedFileStream::readOnly() const {
    if (::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) == 0) return false;
    ReportFailure(ReasonOfError(errno));  // whoever asks gives up writing
    return true;
}

void SplicedFileStream::Restart(const FileIdentity& identity) {
    Release();
    identity_ = identity;
    length_ = identity.IsKnown() ? identity.size : 0;
    pieces_.clear();
    hiddenStart_ = hiddenEnd_ = -1;
    if (length_ > 0) pieces_.push_back(Piece{length_, 0, nullptr});
    position_ = std::min(position_, length_);
}

void SplicedFileStream::Release() {
    file_.Close();
    refused_ = false;
    for (Block& block : blocks_) GiveBack(std::move(block.bytes));
    blocks_.clear();
}

bool SplicedFileStream::Attach() {
    if (file_.IsOpen()) return true;
    if (refused_ || !identity_.IsKnown()) return false;
    FileReader file(path_);
    if (file.IsOpen() && file.Identity() == identity_) {
        file_ = std::move(file);
        return true;
    }
    ReportFailure(LYPARSER_CHANGED_ON_DISK);  // nothing this handle holds can be saved now
    refused_ = true;
    return false;
}

void SplicedFileStream::LimitReads(int64_t headEnd, int64_t tailStart) {
    if (headEnd >= tailStart) return;
    hiddenStart_ = headEnd;
    hiddenEnd_ = tailStart;
}

bool SplicedFileStream::Modified() const {
    if (length_ != identity_.size) return true;
    return !(pieces_.empty() ||
             (pieces_.size() == 1 && !pieces_[0].bytes && pieces_[0].sourceOffset == 0));
}

SplicedFileStream::SaveResult SplicedFileStream::Save() {
    // The copy reads with the save's own checks, which know nothing of
    // non-blocking descriptors.
    if (!Attach() || !file_.MakeBlocking()) return SaveResult::kNotSaved;
    FileSave save(path_);
    const bool saved = save.Begin(identity_, length_) && WriteTo(&save) && save.Commit();
    if (save.Replaced()) {
        // The path now names the file just written, which holds what the
        // pieces said; it is opened again when next read.
        Restart(save.Result());
        return saved ? SaveResult::kSaved : SaveResult::kSavedWithError;
    }
    // An in-place write undone leaves the old bytes with a new time stamp.
    if (save.Result().IsKnown()) identity_ = save.Result();
    return SaveResult::kNotSaved;
}

int64_t SplicedFileStream::AlignmentPadding(int64_t at, int64_t minimum, int64_t moveBy,
                                            int64_t room) {
    int64_t pieceStart = 0;
    for (const Piece& piece : pieces_) {
        if (at < pieceStart + piece.length) {
            if (piece.bytes || !Attach()) return 0;
            const BlockSharing sharing = BlockSharingOf(file_.Descriptor(), RealFolderOf(path_));
            const int64_t padding = ::AlignmentPadding(
                sharing, piece.sourceOffset + (at - pieceStart), at + moveBy, minimum);
            return padding > 0 && room >= sharing.blockSize - padding ? padding - sharing.blockSize
                                                                      : padding;
        }
        pieceStart += piece.length;
    }
    return 0;
}

bool SplicedFileStream::WriteTo(FileSave* save) const {
    for (const Piece& piece : pieces_) {
        bool ok = piece.bytes
                      ? save->Write(piece.bytes->data() + piece.sourceOffset,
                                    static_cast<size_t>(piece.length))
                      : save->CopyFrom(file_.Descriptor(), piece.sourceOffset, piece.length);
        if (!ok) return false;
    }
    return true;
}

const SplicedFileStream::Block* SplicedFileStream::FindBlock(int64_t offset) const {
    for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
        if (offset >= block->offset && offset < block->offset + block->size) return &*block;
    }
    return nullptr;
}

const SplicedFileStream::Block* SplicedFileStream::LoadBlock(int64_t offset) {
    const int64_t size = identity_.size;
    int64_t from = offset & ~(kBlockSize - 1);
    int64_t to = std::min(from + kBlockSize, size);
    if (size <= kWholeFile) {
        from = 0;
        to = size;
    } else if (offset >= size - kBlockSize) {
        from = size - kBlockSize;  // the tail: tags and the last frames
        to = size;
    }
    if (offset >= to || !Attach()) return nullptr;
    if (blocks_.size() >= kMaxBlocks) {
        for (Block& block : blocks_) GiveBack(std::move(block.bytes));
        blocks_.clear();
    }
    Block block{from, 0, TakeBuffer()};
    block.size = file_.ReadAt(from, block.bytes.get(), to - from);
    if (offset >= from + block.size) {  // a read error, or the file was cut short
        GiveBack(std::move(block.bytes));
        return nullptr;
    }
    blocks_.push_back(std::move(block));
    return &blocks_.back();
}

int64_t SplicedFileStream::ReadOriginal(int64_t offset, char* into, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        const int64_t at = offset + done;
        const Block* block = FindBlock(at);
        if (!block && count - done >= kBlockSize) {
            // Large reads (a tag holding pictures) go straight to the caller.
            if (!Attach()) break;
            done += file_.ReadAt(at, into + done, count - done);
            break;
        }
        if (!block && !(block = LoadBlock(at))) break;
        const int64_t part = std::min(count - done, block->offset + block->size - at);
        std::memcpy(into + done, block->bytes.get() + (at - block->offset),
                    static_cast<size_t>(part));
        done += part;
    }
    return done;
}

TagLib::FileName SplicedFileStream::name() const { return path_.c_str(); }

TagLib::ByteVector SplicedFileStream::readBlock(unsigned long length) {
    int64_t wanted = std::min<int64_t>(static_cast<int64_t>(length), length_ - position_);
    if (wanted <= 0) return TagLib::ByteVector();
    // The usual read of an unchanged file, from a block read ahead: one copy.
    if (pieces_.size() == 1 && !pieces_[0].bytes && pieces_[0].sourceOffset == 0 &&
        (hiddenStart_ < 0 || position_ + wanted <= hiddenStart_ || position_ >= hiddenEnd_)) {
        if (const Block* cached = FindBlock(position_)) {
            if (position_ + wanted <= cached->offset + cached->size) {
                TagLib::ByteVector bytes(cached->bytes.get() + (position_ - cached->offset),
                                         static_cast<unsigned int>(wanted));
                position_ += wanted;
                return bytes;
            }
        }
    }
    TagLib::ByteVector block(static_cast<unsigned int>(wanted), '\0');
    int64_t got = 0;
    int64_t pieceStart = 0;
    for (const Piece& piece : pieces_) {
        int64_t pieceEnd = pieceStart + piece.length;
        int64_t at = position_ + got;
        if (at < pieceEnd) {
            int64_t inside = at - pieceStart;
            int64_t part = std::min(wanted - got, piece.length - inside);
            bool hidden = false;
            if (!piece.bytes && hiddenStart_ >= 0) {
                int64_t from = piece.sourceOffset + inside;
                if (from >= hiddenStart_ && from < hiddenEnd_) break;
                if (from < hiddenStart_ && from + part > hiddenStart_) {
                    part = hiddenStart_ - from;
                    hidden = true;
                }
            }
            char* into = block.data() + got;
            if (piece.bytes) {
                std::copy_n(piece.bytes->data() + piece.sourceOffset + inside, part, into);
            } else {
                int64_t done = ReadOriginal(piece.sourceOffset + inside, into, part);
                if (done < part) {
                    // A read error, a file cut short behind our back, or one
                    // the path no longer names: hand out what could be read,
                    // as a short read at the end would.
                    got += done;
                    break;
                }
            }
            got += part;
            if (got == wanted || hidden) break;
        }
        pieceStart = pieceEnd;
    }
    block.resize(static_cast<unsigned int>(got));
    position_ += got;
    return block;
}

size_t SplicedFileStream::SplitAt(int64_t offset) {
    int64_t pieceStart = 0;
    for (size_t i = 0; i < pieces_.size(); ++i) {
        if (offset == pieceStart) return i;
        int64_t pieceEnd = pieceStart + pieces_[i].length;
        if (offset < pieceEnd) {
            Piece tail = pieces_[i];
            int64_t head = offset - pieceStart;
            pieces_[i].length = head;
            tail.length -= head;
            tail.sourceOffset += head;
            pieces_.insert(pieces_.begin() + static_cast<long>(i) + 1, tail);
            return i + 1;
        }
        pieceStart = pieceEnd;
    }
    return pieces_.size();
}

void SplicedFileStream::Replace(int64_t start, int64_t removed, const char* data, size_t size) {
    start = std::max<int64_t>(0, start);
    if (start > length_) {
        // Writing past the end, as a file would, leaves zeros in between.
        std::string gap(static_cast<size_t>(start - length_), '\0');
        pieces_.push_back(
            Piece{start - length_, 0, std::make_shared<const std::string>(std::move(gap))});
        length_ = start;
    }
    removed = std::max<int64_t>(0, std::min(removed, length_ - start));
    size_t first = SplitAt(start);
    size_t last = SplitAt(start + removed);
    pieces_.erase(pieces_.begin() + static_cast<long>(first),
                  pieces_.begin() + static_cast<long>(last));
    if (size > 0) {
        auto bytes = std::make_shared<const std::string>(data, size);
        pieces_.insert(pieces_.begin() + static_cast<long>(first),
                       Piece{static_cast<int64_t>(size), 0, bytes});
    }
    length_ += static_cast<int64_t>(size) - removed;
}

void SplicedFileStream::writeBlock(const TagLib::ByteVector& data) {
    Replace(position_, data.size(), data.data(), data.size());
    position_ += data.size();
}

void SplicedFileStream::insert(const TagLib::ByteVector& data, unsigned long start,
                               unsigned long replace) {
    Replace(static_cast<int64_t>(start), static_cast<int64_t>(replace), data.data(), data.size());
}

void SplicedFileStream::removeBlock(unsigned long start, unsigned long length) {
    Replace(static_cast<int64_t>(start), static_cast<int64_t>(length), nullptr, 0);
}

void SplicedFileStream::seek(long offset, Position p) {
    int64_t base = p == Beginning ? 0 : p == Current ? position_ : length_;
    int64_t target = base + offset;
    if (target >= 0) position_ = target;
}

void SplicedFileStream::truncate(long length) {
    if (length < 0) return;
    if (length < length_) {
        Replace(length, length_ - length, nullptr, 0);
    } else if (length > length_) {
        Replace(length, 0, nullptr, 0);
    }
}
