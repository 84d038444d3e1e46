// OggStreamHeaders: the header packets of the first Vorbis or Opus stream in
// an Ogg file, and where their pages lie, read from the start of the file in
// a few large blocks (64 KiB, then four times as much while the headers go
// on).
//
// The file's first page must lie within its first 45056 bytes and begin a
// stream. Of the streams that begin there together, the first whose codec is
// Vorbis or Opus is read: a video stream ahead of it is passed over, and the
// file is then multiplexed. Pages are taken only with a right checksum and
// the stream's own sequence numbers, one after another.
//
// For a rewrite, the pages that hold the comment header are described: their
// range, their numbers and flags, and the segments of other packets that
// share the first and the last of them.
//
// One object per read; one thread at a time.
#ifndef LYPARSER_PARSERS_OGG_OGG_STREAM_HEADERS_H
#define LYPARSER_PARSERS_OGG_OGG_STREAM_HEADERS_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "parsers/ogg/ogg_codec.h"

struct OggPage;

// Reads up to `count` bytes at `offset`; returns the bytes read, fewer at the
// end of the file, -1 on an error.
using OggReadFunc = std::function<int64_t(int64_t offset, void* buffer, int64_t count)>;

// The pages that hold a stream's comment header.
struct OggCommentPages {
    int64_t begin = 0;  // offset of the first
    int64_t end = 0;    // offset behind the last
    int count = 0;
    uint32_t firstSequence = 0;
    int firstFlags = 0;
    int lastFlags = 0;
    int64_t firstGranule = -1;
    int64_t lastGranule = -1;
    // Segments of the packets before the comment header on the first page
    // and after it on the last page, with their bytes.
    std::vector<unsigned char> headLacing;
    std::string head;
    std::vector<unsigned char> tailLacing;
    std::string tail;
};

class OggStreamHeaders {
public:
    static constexpr int64_t kFirstPageWithin = 45056;
    // A larger comment header is not read; its file opens without comments.
    static constexpr size_t kMaxComment = size_t{64} << 20;

    // Reads the headers of a file of `size` bytes through `read`. True when
    // the file begins with a Vorbis or Opus stream; the other answers hold
    // what could be read of its headers.
    bool Read(const OggReadFunc& read, int64_t size);

    OggCodec Codec() const { return codec_; }
    // Offset of the file's first page; -1 when none was found.
    int64_t FirstPage() const { return firstPage_; }
    uint32_t Serial() const { return serial_; }
    // The stream begins beside others, which interleave with it.
    bool Multiplexed() const { return multiplexed_; }
    const std::string& Identification() const { return identification_; }
    // The whole comment header; empty when it could not be read (cut,
    // damaged, too large).
    std::string Comment() const;
    // The bytes read, with the comment header made whole in place at *from
    // and ending them; empty when it could not be read. Moves them out:
    // Start() and Comment() answer nothing afterwards.
    std::string TakeComment(size_t* from);
    // The comment header was read and its pages hold this stream's pages
    // alone, one after another, nothing else between them.
    bool Rewritable() const { return rewritable_; }
    const OggCommentPages& CommentPages() const { return pages_; }
    // Vorbis: the offset just behind the setup header's marker (packet type,
    // "vorbis", codebook count, "BCV"); 0 when it was not found.
    int64_t SetupMarkerEnd() const { return setupMarkerEnd_; }
    // Behind the page on which the last header packet ends; 0 when not known.
    int64_t HeadersEnd() const { return headersEnd_; }
    // The bytes read from the file's start: its first 64 KiB at least, or the
    // whole file when it is shorter.
    const unsigned char* Start() const {
        return reinterpret_cast<const unsigned char*>(data_.data());
    }
    size_t StartSize() const { return loaded_; }

private:
    bool Load(size_t upTo);
    // What lies at an offset: a page, bytes that are none, or the end of
    // what the file holds (or of what is read of it).
    enum class At { kPage, kJunk, kEnd };
    At PageAt(size_t at, OggPage* page);
    // Where the stream's packets stand while its pages are walked.
    struct WalkState {
        int packet = 0;     // the packet the next segment belongs to
        bool open = false;  // a packet continues onto the next page
        uint32_t sequence = 0;
        size_t commentSize = 0;
        bool commentStarted = false;
        bool commentDone = false;
        bool setupSeen = false;
        bool stray = false;  // a page of another stream, or bytes that are no page, met
    };

    bool FindFirstPage(size_t* at);
    void WalkStream(size_t at);
    // Takes segment `segment` of `page` (at `pageAt`), whose bytes begin at
    // `offset` of its body; false when the headers are too large to read.
    bool TakeSegment(const OggPage& page, size_t pageAt, int segment, size_t offset,
                     WalkState* state);

    OggReadFunc read_;
    size_t size_ = 0;
    std::string data_;
    size_t loaded_ = 0;
    bool ended_ = false;
    OggCodec codec_ = OggCodec::kNone;
    int64_t firstPage_ = -1;
    uint32_t serial_ = 0;
    bool multiplexed_ = false;
    std::string identification_;
    std::vector<std::pair<size_t, size_t>> comment_;  // where its bytes lie in data_
    bool commentRead_ = false;
    bool rewritable_ = false;
    OggCommentPages pages_;
    int64_t setupMarkerEnd_ = 0;
    int64_t headersEnd_ = 0;
};

#endif  // LYPARSER_PARSERS_OGG_OGG_STREAM_HEADERS_H
