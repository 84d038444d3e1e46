#include "parsers/ogg/ogg_stream_headers.h"

#include <algorithm>
#include <cstring>

#include "parsers/ogg/ogg_page.h"

namespace {

constexpr size_t kFirstBlock = 64 * 1024;
constexpr size_t kMaxLoad = OggStreamHeaders::kMaxComment + (size_t{1} << 20);
constexpr size_t kSetupMarkerLength = 11;  // packet type, "vorbis", codebook count, "BCV"

bool IsSetupMarker(const unsigned char* p) {
    return p[0] == 5 && std::memcmp(p + 1, "vorbis", 6) == 0 && std::memcmp(p + 8, "BCV", 3) == 0;
}

// Where the stream's packets stand while its pages are walked.
struct PacketState {
    int packet = 0;     // the packet the next segment belongs to
    bool open = false;  // a packet continues onto the next page
    bool commentStarted = false;
    bool commentDone = false;
    bool setupSeen = false;
    bool stray = false;  // a page of another stream, or bytes that are no page, met
};

}  // namespace

bool OggStreamHeaders::Load(size_t upTo) {
    upTo = std::min({upTo, kMaxLoad, size_});
    if (loaded_ >= upTo || ended_) return loaded_ >= upTo;
    // Few reads: a header that goes on past a block is likely to go on far.
    const size_t want = std::min({std::max({upTo, loaded_ * 8, kFirstBlock}), kMaxLoad, size_});
    data_.resize(want);
    const int64_t got =
        read_(static_cast<int64_t>(loaded_), &data_[loaded_], static_cast<int64_t>(want - loaded_));
    loaded_ += got > 0 ? static_cast<size_t>(got) : 0;
    data_.resize(loaded_);
    if (loaded_ < want || loaded_ == std::min(kMaxLoad, size_)) ended_ = true;
    return loaded_ >= upTo;
}

OggStreamHeaders::At OggStreamHeaders::PageAt(size_t at, OggPage* page) {
    for (;;) {
        const OggPageRead result =
            at < loaded_ ? ReadOggPage(Start() + at, loaded_ - at, page) : OggPageRead::kShort;
        if (result == OggPageRead::kPage) return At::kPage;
        if (result == OggPageRead::kNone) return At::kJunk;
        if (ended_ || loaded_ >= size_) return At::kEnd;
        Load(at + kOggMaxPage);  // reads more, or finds the end
    }
}

bool OggStreamHeaders::FindFirstPage(size_t* at) {
    Load(kFirstBlock);
    OggPage page;
    for (size_t candidate = 0; candidate < static_cast<size_t>(kFirstPageWithin); ++candidate) {
        if (candidate >= loaded_) return false;
        // Bytes that only look like the start of a page longer than the file
        // are passed over like any others.
        if (data_[candidate] != 'O' || PageAt(candidate, &page) != At::kPage) continue;
        *at = candidate;
        return candidate + page.Size() <= static_cast<size_t>(kFirstPageWithin);
    }
    return false;
}

bool OggStreamHeaders::Read(const OggReadFunc& read, int64_t size) {
    read_ = read;
    size_ = size > 0 ? static_cast<size_t>(size) : 0;
    size_t at = 0;
    if (!FindFirstPage(&at)) return false;
    firstPage_ = static_cast<int64_t>(at);
    // The streams that begin together: one page each, holding its first
    // packet whole.
    size_t ours = 0;
    int begun = 0;
    OggPage page;
    while (PageAt(at, &page) == At::kPage && (page.flags & kOggBegins)) {
        ++begun;
        const OggCodec codec = CodecOfHeader(page.body, page.bodyLength);
        if (codec_ == OggCodec::kNone && codec != OggCodec::kNone) {
            codec_ = codec;
            serial_ = page.serial;
            ours = at;
        }
        at += page.Size();
    }
    if (codec_ == OggCodec::kNone) return false;
    multiplexed_ = begun > 1;
    WalkStream(ours);
    return true;
}

// Collects the stream's header packets from its first page on, and where the
// comment header's pages lie; stops once the headers (for Vorbis: the start
// of the setup header) are known, or at the first fault.
void OggStreamHeaders::WalkStream(size_t at) {
    WalkState state;
    bool first = true;
    OggPage page;
    while (!(state.commentDone && (codec_ == OggCodec::kOpus || state.setupSeen))) {
        const At found = PageAt(at, &page);
        if (found == At::kEnd) return;
        if (found == At::kJunk) {
            state.stray = true;
            ++at;
            continue;
        }
        const size_t pageAt = at;
        at += page.Size();
        if (page.serial != serial_) {
            state.stray = true;
            continue;
        }
        if ((!first && page.sequence != state.sequence + 1) ||
            ((page.flags & kOggContinued) != 0) != state.open) {
            return;  // a page is missing or damaged: the headers cannot be read
        }
        first = false;
        state.sequence = page.sequence;
        const bool inComment = state.commentStarted && !state.commentDone;
        bool commentHere = false;
        size_t offset = 0;
        for (int i = 0; i < page.segments; offset += page.lacing[i++]) {
            commentHere = commentHere || state.packet == 1;
            if (!TakeSegment(page, pageAt, i, offset, &state)) return;
        }
        if (inComment || commentHere) ++pages_.count;
    }
}

bool OggStreamHeaders::TakeSegment(const OggPage& page, size_t pageAt, int segment, size_t offset,
                                   WalkState* state) {
    const unsigned char length = page.lacing[segment];
    if (state->packet == 0) {
        if (identification_.size() + length > kMaxComment) return false;
        identification_.append(reinterpret_cast<const char*>(page.body + offset), length);
    } else if (state->packet == 1) {
        if (!state->commentStarted) {
            state->commentStarted = true;
            pages_.begin = static_cast<int64_t>(pageAt);
            pages_.firstSequence = page.sequence;
            pages_.firstFlags = page.flags;
            pages_.firstGranule = page.granule;
            pages_.headLacing.assign(page.lacing, page.lacing + segment);
            pages_.head.assign(reinterpret_cast<const char*>(page.body), offset);
        }
        state->commentSize += length;
        if (state->commentSize > kMaxComment) return false;
        const size_t from = static_cast<size_t>(page.body + offset - Start());
        if (!comment_.empty() && comment_.back().first + comment_.back().second == from) {
            comment_.back().second += length;
        } else {
            comment_.emplace_back(from, length);
        }
    } else if (state->packet == 2 && !state->setupSeen) {
        state->setupSeen = true;
        if (offset + kSetupMarkerLength <= page.bodyLength && IsSetupMarker(page.body + offset)) {
            setupMarkerEnd_ =
                static_cast<int64_t>(pageAt + page.headerLength + offset + kSetupMarkerLength);
        }
    }
    state->open = length == 255;
    if (state->open) return true;
    const size_t pageEnd = pageAt + page.Size(), next = offset + length;
    if (++state->packet == HeaderPacketCount(codec_)) headersEnd_ = static_cast<int64_t>(pageEnd);
    if (state->packet == 2) {
        state->commentDone = commentRead_ = true;
        pages_.end = static_cast<int64_t>(pageEnd);
        pages_.lastFlags = page.flags;
        pages_.lastGranule = page.granule;
        pages_.tailLacing.assign(page.lacing + segment + 1, page.lacing + page.segments);
        pages_.tail.assign(reinterpret_cast<const char*>(page.body + next), page.bodyLength - next);
        rewritable_ = !state->stray && !multiplexed_;
    }
    return true;
}

std::string OggStreamHeaders::Comment() const {
    std::string comment;
    if (!commentRead_ || data_.empty()) return comment;
    for (const auto& [from, length] : comment_) comment.append(data_, from, length);
    return comment;
}

std::string OggStreamHeaders::TakeComment(size_t* from) {
    *from = 0;
    if (!commentRead_ || data_.empty()) return std::string();
    // The pieces move down over the page headers between them.
    *from = comment_.front().first;
    size_t end = *from;
    for (const auto& [at, length] : comment_) {
        std::memmove(&data_[end], &data_[at], length);
        end += length;
    }
    data_.resize(end);
    loaded_ = 0;
    return std::move(data_);
}
