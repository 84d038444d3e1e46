// The writing half of the comment-header editor: the comment packet, the
// granule steps, the packet fetch and the stream copy. See vorbis_edit.h for
// the thread rules.
#include <cstring>

#include "parsers/ogg/vorbis_edit.h"

namespace {

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

// Repaginates the audio packets of the first logical stream. Packets without
// a granule position get the running one; a packet whose position lies below
// it (a shortened last block) sets it and ends its page.
bool CopyAudio(VorbisEditState* state, ogg_stream_state* out, void* output, ogg_page* held) {
    ogg_int64_t granule = 0;
    bool flushNext = false, pageNext = false;
    ogg_packet packet;
    ogg_page page;
    while (VorbisEditFetchPacket(state, &packet, held)) {
        granule += VorbisEditBlockSize(state, &packet);
        if (flushNext) {
            if (ogg_stream_flush(out, &page) && !WritePage(state, output, &page)) return false;
        } else if (pageNext) {
            // Every complete page is taken, not just one, so that input with
            // pages larger than ours cannot pile up packets in memory.
            while (ogg_stream_pageout(out, &page)) {
                if (!WritePage(state, output, &page)) return false;
            }
        }
        flushNext = pageNext = false;
        if (packet.granulepos == -1) {
            packet.granulepos = granule;
        } else if (packet.granulepos < granule) {
            granule = packet.granulepos;
            flushNext = true;
        } else {
            pageNext = true;
        }
        ogg_stream_packetin(out, &packet);
    }
    out->e_o_s = 1;
    while (ogg_stream_flush(out, &page)) {
        if (!WritePage(state, output, &page)) return false;
    }
    return true;
}

// Copies every page that follows the first logical stream, unchanged.
bool CopyRest(VorbisEditState* state, void* output) {
    ogg_page page;
    state->endOfInput = 0;
    while (!state->endOfInput) {
        int result = ogg_sync_pageout(state->sync, &page);
        if (result > 0) {
            if (!WritePage(state, output, &page)) return false;
        } else if (result < 0) {
            state->lastError = "Corrupt or missing data, continuing...";
        } else if (VorbisEditReadChunk(state) == 0) {
            state->endOfInput = 1;
        }
    }
    return true;
}

}  // namespace

void VorbisEditBuildCommentPacket(const char* vendor, vorbis_comment* comments, oggpack_buffer* writer,
                                  ogg_packet* packet) {
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
    int step = state->previousBlockSize ? static_cast<int>((size + state->previousBlockSize) / 4) : 0;
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
        // Another stream's page ends ours even when it closes its own stream.
        if (ogg_page_serialno(page) != state->serial) {
            state->endOfInput = 1;
            state->extraPage = 1;
            return 0;
        }
        if (ogg_page_eos(page)) state->endOfInput = 1;
        ogg_stream_pagein(state->stream, page);
    }
}

int VorbisEditWrite(VorbisEditState* state, void* output) {
    if (!state || !state->sync || !state->mainHeader || !state->setupHeader || state->readOnly) {
        if (state) state->lastError = "Error writing stream to output. Output stream may be corrupted or truncated.";
        return -1;
    }
    state->endOfInput = 0;
    state->extraPage = 0;
    state->previousBlockSize = 0;
    ogg_stream_state out;
    ogg_stream_init(&out, static_cast<int>(state->serial));
    ogg_page held;
    bool written = WriteHeaders(state, &out, output) && CopyAudio(state, &out, output, &held) &&
                   (!state->extraPage || WritePage(state, output, &held)) && CopyRest(state, output);
    ogg_stream_clear(&out);
    delete[] state->mainHeader;
    delete[] state->setupHeader;
    state->mainHeader = state->setupHeader = nullptr;
    state->mainHeaderLength = state->setupHeaderLength = 0;
    if (!written) {
        state->lastError = "Error writing stream to output. Output stream may be corrupted or truncated.";
        return -1;
    }
    return 0;
}
