#include "parsers/shared/spliced_file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/file_save.h"

namespace {

int OpenForReading(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    struct stat info;
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0)) {
        ::close(fd);
        fd = -1;
    }
    return fd;
}

}  // namespace

SplicedFileStream::SplicedFileStream(const std::string& nativePath) : path_(nativePath) {
    int fd = path_.empty() ? -1 : OpenForReading(path_);
    if (fd >= 0) Restart(fd, IdentityOfDescriptor(fd));
}

SplicedFileStream::~SplicedFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

void SplicedFileStream::Restart(int fd, const FileIdentity& identity) {
    if (fd_ >= 0 && fd_ != fd) ::close(fd_);
    fd_ = fd;
    identity_ = identity;
    length_ = identity.IsKnown() ? identity.size : 0;
    pieces_.clear();
    hiddenStart_ = hiddenEnd_ = -1;
    if (length_ > 0) pieces_.push_back(Piece{length_, 0, nullptr});
    position_ = std::min(position_, length_);
}

void SplicedFileStream::LimitReads(int64_t headEnd, int64_t tailStart) {
    if (headEnd >= tailStart) return;
    hiddenStart_ = headEnd;
    hiddenEnd_ = tailStart;
}

bool SplicedFileStream::Modified() const {
    if (length_ != identity_.size) return true;
    return !(pieces_.empty() || (pieces_.size() == 1 && !pieces_[0].bytes && pieces_[0].sourceOffset == 0));
}

bool SplicedFileStream::Save() {
    if (fd_ < 0) return false;
    FileSave save(path_);
    if (!save.Begin(identity_, length_) || !WriteTo(&save) || !save.Commit()) return false;
    // Read on from the file just written, which now holds what the pieces said.
    int fd = OpenForReading(path_);
    FileIdentity written = IdentityOfDescriptor(fd);
    if (fd < 0 || written != save.Result()) {
        // The file is saved; reading on from what this stream knows is still right.
        if (fd >= 0) ::close(fd);
        return true;
    }
    Restart(fd, written);
    return true;
}

bool SplicedFileStream::WriteTo(FileSave* save) const {
    for (const Piece& piece : pieces_) {
        bool ok = piece.bytes ? save->Write(piece.bytes->data() + piece.sourceOffset, static_cast<size_t>(piece.length))
                              : save->CopyFrom(fd_, piece.sourceOffset, piece.length);
        if (!ok) return false;
    }
    return true;
}

TagLib::FileName SplicedFileStream::name() const { return path_.c_str(); }

TagLib::ByteVector SplicedFileStream::readBlock(unsigned long length) {
    int64_t wanted = std::min<int64_t>(static_cast<int64_t>(length), length_ - position_);
    if (wanted <= 0 || fd_ < 0) return TagLib::ByteVector();
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
                int64_t done = 0;
                while (done < part) {
                    ssize_t n = ::pread(fd_, into + done, static_cast<size_t>(part - done),
                                        static_cast<off_t>(piece.sourceOffset + inside + done));
                    if (n < 0 && errno == EINTR) continue;
                    if (n <= 0) break;
                    done += n;
                }
                if (done < part) {
                    // A read error or a file cut short behind our back: hand out
                    // what could be read, as a short read at the end would.
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
        pieces_.push_back(Piece{start - length_, 0, std::make_shared<const std::string>(std::move(gap))});
        length_ = start;
    }
    removed = std::max<int64_t>(0, std::min(removed, length_ - start));
    size_t first = SplitAt(start);
    size_t last = SplitAt(start + removed);
    pieces_.erase(pieces_.begin() + static_cast<long>(first), pieces_.begin() + static_cast<long>(last));
    if (size > 0) {
        auto bytes = std::make_shared<const std::string>(data, size);
        pieces_.insert(pieces_.begin() + static_cast<long>(first), Piece{static_cast<int64_t>(size), 0, bytes});
    }
    length_ += static_cast<int64_t>(size) - removed;
}

void SplicedFileStream::writeBlock(const TagLib::ByteVector& data) {
    Replace(position_, data.size(), data.data(), data.size());
    position_ += data.size();
}

void SplicedFileStream::insert(const TagLib::ByteVector& data, unsigned long start, unsigned long replace) {
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
