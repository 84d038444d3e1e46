// The writing half of the comment-header editor: the comment packet, the
// granule steps, the packet fetch and the stream copy. See vorbis_edit.h for
// the thread rules.
#include <cstring>
#include <utility>
#include <vector>

#include "core/failure_reason.h"
#include "parsers/ogg/vorbis_edit.h"

namespace {

constexpr char kWriteError[] =
    "Error writing stream to output. Output stream may be corrupted or truncated.";
constexpr char kInterleavedError[] =
    "Input interleaves several logical streams; it cannot be rewritten whole.";

void WriteBytes(oggpack_buffer* writer, const char* data, long length) {
    for (long i = 0; i < length; ++i) oggpack_write(writer, static_cast<unsigned char>(data[i]), 8);
}

// Writes one page, header then body; false on a short write.
bool WritePage(VorbisEditState* state, void* output, const ogg_page* page) {
    auto header = static_cast<size_t>(page->header_len);
    auto body = static_cast<size_t>(page->body_len);
    return state->write(page->header, 1, header, output) == header &&
           state->write(page->body, 1, body, output) == body;
}

ogg_packet HeaderPacket(unsigned char* data, long length, long number) {
    ogg_packet packet{};
    packet.packet = data;
    packet.bytes = length;
    packet.b_o_s = number == 0;
    packet.granulepos = 0;
    packet.packetno = number;
    return packet;
}

// Submits the three header packets and writes their pages.
bool WriteHeaders(VorbisEditState* state, ogg_stream_state* out, void* output) {
    oggpack_buffer writer;
    ogg_packet comment;
    VorbisEditBuildCommentPacket(state->vendor, state->comments, &writer, &comment);
    ogg_packet main = HeaderPacket(state->mainHeader, state->mainHeaderLength, 0);
    ogg_packet setup = HeaderPacket(state->setupHeader, state->setupHeaderLength, 2);
    ogg_stream_packetin(out, &main);
    ogg_stream_packetin(out, &comment);
    ogg_stream_packetin(out, &setup);
    oggpack_writeclear(&writer);
    ogg_page page;
    while (ogg_stream_flush(out, &page)) {
        if (!WritePage(state, output, &page)) return false;
    }
    return true;
}

// Audio packets held at the start of a stream, before one that carries a
// granule position tells where the stream begins; at most this many bytes.
// A stream with positions has its first within a page (64 KiB at most), so
// only one without them reaches this.
constexpr size_t kStartHoldLimit = 128 * 1024;

struct HeldPacket {
    std::vector<unsigned char> data;
    ogg_packet packet;
    int step;
};

// Repaginates the audio packets of the first logical stream. Every packet
// keeps the granule position it has; one without gets the running position,
// which follows the stream's own positions. At the start, packets are held
// until the first position arrives and their positions are counted back from
// it, so that a stream that starts late keeps its start; a stream with none
// counts from 0. A packet whose position lies below the running one (a
// trimmed start or a shortened last block) ends its page. Complete pages are
// written as they fill, so memory holds a few pages.
class AudioCopy {
public:
    AudioCopy(VorbisEditState* state, ogg_stream_state* out, void* output)
        : state_(state), out_(out), output_(output) {}

    bool Add(ogg_packet* packet) {
        int step = VorbisEditBlockSize(state_, packet);
        if (!started_) {
            if (packet->granulepos == -1 &&
                heldBytes_ + static_cast<size_t>(packet->bytes) <= kStartHoldLimit) {
                Hold(*packet, step);
                return true;
            }
            if (!(packet->granulepos == -1 ? CountHeldFromZero() : PlaceHeld(*packet, step)))
                return false;
        }
        granule_ += step;
        bool below = false;
        if (packet->granulepos == -1) {
            packet->granulepos = granule_;
        } else {
            below = packet->granulepos < granule_;
            granule_ = packet->granulepos;
        }
        if (!Submit(packet)) return false;
        flushNext_ = below || trimmedStart_;
        trimmedStart_ = false;
        return true;
    }

    // Ends the stream: the last page carries the end-of-stream flag.
    bool Finish() {
        if (!started_ && !CountHeldFromZero()) return false;
        out_->e_o_s = 1;
        ogg_page page;
        while (ogg_stream_flush(out_, &page)) {
            if (!WritePage(state_, output_, &page)) return false;
        }
        return true;
    }

private:
    void Hold(const ogg_packet& packet, int step) {
        std::vector<unsigned char> data(packet.packet, packet.packet + packet.bytes);
        held_.push_back(HeldPacket{std::move(data), packet, step});
        heldBytes_ += static_cast<size_t>(packet.bytes);
    }

    // The first position belongs to `first`; the held packets lie before it
    // by their steps. A first position below the count from 0 trims the
    // start, and a decoder trims at the packet where it first meets a
    // position: the held packets then stay without one and `first` ends its
    // page, as in the input. When `first` is also the last packet, the
    // stream is a single page whose end is cut: the held packets count from 0.
    bool PlaceHeld(const ogg_packet& first, int firstStep) {
        ogg_int64_t total = firstStep;
        for (const HeldPacket& held : held_) total += held.step;
        if (first.granulepos < total && first.e_o_s) return CountHeldFromZero();
        trimmedStart_ = first.granulepos < total;
        ogg_int64_t position = first.granulepos - firstStep;
        for (auto held = held_.rbegin(); held != held_.rend(); ++held) {
            held->packet.granulepos = trimmedStart_ ? -1 : position;
            position -= held->step;
        }
        return ReleaseHeld(first.granulepos - firstStep);
    }

    bool CountHeldFromZero() {
        ogg_int64_t position = 0;
        for (HeldPacket& held : held_) held.packet.granulepos = position += held.step;
        return ReleaseHeld(position);
    }

    // Submits the held packets; `position` is the last one's.
    bool ReleaseHeld(ogg_int64_t position) {
        started_ = true;
        for (HeldPacket& held : held_) {
            held.packet.packet = held.data.data();
            if (!Submit(&held.packet)) return false;
        }
        held_.clear();
        heldBytes_ = 0;
        granule_ = position;
        return true;
    }

    // Writes the pages that are complete before `packet` joins them.
    bool Submit(ogg_packet* packet) {
        ogg_page page;
        while (flushNext_ && ogg_stream_flush(out_, &page)) {
            if (!WritePage(state_, output_, &page)) return false;
        }
        while (ogg_stream_pageout(out_, &page)) {
            if (!WritePage(state_, output_, &page)) return false;
        }
        flushNext_ = false;
        ogg_stream_packetin(out_, packet);
        return true;
    }

    VorbisEditState* state_;
    ogg_stream_state* out_;
    void* output_;
    ogg_int64_t granule_ = 0;
    bool started_ = false;
    bool flushNext_ = false;
    bool trimmedStart_ = false;
    std::vector<HeldPacket> held_;
    size_t heldBytes_ = 0;
};

bool CopyAudio(VorbisEditState* state, ogg_stream_state* out, void* output, ogg_page* held) {
    AudioCopy copy(state, out, output);
    ogg_packet packet;
    while (VorbisEditFetchPacket(state, &packet, held)) {
        if (!copy.Add(&packet)) return false;
    }
    return !state->interleaved && copy.Finish();
}

// Writes one page that follows the first logical stream. A page of that
// stream while it is still open (it has neither ended nor begun anew) means
// the input is multiplexed: false with interleaved set.
bool CopyPage(VorbisEditState* state, void* output, ogg_page* page, bool* ownOpen) {
    if (ogg_page_serialno(page) == state->serial) {
        if (ogg_page_bos(page)) {
            *ownOpen = false;
        } else if (*ownOpen) {
            state->interleaved = 1;
            return false;
        }
    }
    return WritePage(state, output, page);
}

// Copies every page that follows the first logical stream, unchanged,
// beginning with the one that ended it when it is held.
bool CopyRest(VorbisEditState* state, void* output, ogg_page* held) {
    bool ownOpen = !state->endPageSeen;
    if (state->extraPage && !CopyPage(state, output, held, &ownOpen)) return false;
    ogg_page page;
    state->endOfInput = 0;
    while (!state->endOfInput) {
        int result = ogg_sync_pageout(state->sync, &page);
        if (result > 0) {
            if (!CopyPage(state, output, &page, &ownOpen)) return false;
        } else if (result < 0) {
            state->lastError = "Corrupt or missing data, continuing...";
        } else if (VorbisEditReadChunk(state) == 0) {
            state->endOfInput = 1;
        }
    }
    return true;
}

}  // namespace

void VorbisEditBuildCommentPacket(const char* vendor, vorbis_comment* comments,
                                  oggpack_buffer* writer, ogg_packet* packet) {
    oggpack_writeinit(writer);
    oggpack_write(writer, 3, 8);
    WriteBytes(writer, "vorbis", 6);
    if (!vendor) vendor = "";
    auto vendorLength = static_cast<long>(std::strlen(vendor));
    oggpack_write(writer, static_cast<unsigned long>(vendorLength), 32);
    WriteBytes(writer, vendor, vendorLength);
    int count = comments ? comments->comments : 0;
    oggpack_write(writer, static_cast<unsigned long>(count), 32);
    for (int i = 0; i < count; ++i) {
        const char* text = comments->user_comments ? comments->user_comments[i] : nullptr;
        long length = text && comments->comment_lengths ? comments->comment_lengths[i] : 0;
        oggpack_write(writer, static_cast<unsigned long>(length), 32);
        if (text) WriteBytes(writer, text, length);
    }
    oggpack_write(writer, 1, 1);
    *packet = ogg_packet{};
    packet->packet = oggpack_get_buffer(writer);
    packet->bytes = oggpack_bytes(writer);
    packet->granulepos = 0;
    packet->packetno = 1;
}

int VorbisEditBlockSize(VorbisEditState* state, ogg_packet* packet) {
    long size = state->setupDecoded ? vorbis_packet_blocksize(state->info, packet) : 0;
    if (size < 0) size = 0;
    int step =
        state->previousBlockSize ? static_cast<int>((size + state->previousBlockSize) / 4) : 0;
    state->previousBlockSize = static_cast<int>(size);
    return step;
}

int VorbisEditFetchPacket(VorbisEditState* state, ogg_packet* packet, ogg_page* page) {
    for (;;) {
        if (ogg_stream_packetout(state->stream, packet) > 0) return 1;
        if (state->endOfInput) return 0;
        int result;
        while ((result = ogg_sync_pageout(state->sync, page)) <= 0) {
            if (result == 0 && VorbisEditReadChunk(state) == 0) return 0;
        }
        // A stream's first page begins the next link of a chain, even when
        // ours has not ended; any other page of another stream means the two
        // are multiplexed.
        if (ogg_page_serialno(page) != state->serial || ogg_page_bos(page)) {
            if (!ogg_page_bos(page)) state->interleaved = 1;
            state->endOfInput = 1;
            state->extraPage = 1;
            return 0;
        }
        if (ogg_page_eos(page)) state->endOfInput = state->endPageSeen = 1;
        ogg_stream_pagein(state->stream, page);
    }
}

int VorbisEditWrite(VorbisEditState* state, void* output) {
    if (!state || !state->sync || !state->mainHeader || !state->setupHeader || state->readOnly) {
        if (state) state->lastError = kWriteError;
        return -1;
    }
    state->endOfInput = 0;
    state->endPageSeen = 0;
    state->extraPage = 0;
    state->previousBlockSize = 0;
    ogg_stream_state out;
    ogg_stream_init(&out, static_cast<int>(state->serial));
    ogg_page held;
    bool written = !state->interleaved && WriteHeaders(state, &out, output) &&
                   CopyAudio(state, &out, output, &held) && CopyRest(state, output, &held);
    ogg_stream_clear(&out);
    delete[] state->mainHeader;
    delete[] state->setupHeader;
    state->mainHeader = state->setupHeader = nullptr;
    state->mainHeaderLength = state->setupHeaderLength = 0;
    if (!written) {
        if (state->interleaved) ReportFailure(LYPARSER_MULTIPLEXED_OGG);
        state->lastError = state->interleaved ? kInterleavedError : kWriteError;
        return -1;
    }
    return 0;
}
