// The reading half of the comment-header editor: the state, the header read
// and the release. See vorbis_edit.h for the thread rules.
#include "parsers/ogg/vorbis_edit.h"

#include <cstring>
#include <new>

namespace {

constexpr int kFurtherChunksForFirstPage = 10;

size_t StdioRead(void* buffer, size_t size, size_t count, void* input) {
    return std::fread(buffer, size, count, static_cast<std::FILE*>(input));
}

size_t StdioWrite(const void* buffer, size_t size, size_t count, void* output) {
    return std::fwrite(buffer, size, count, static_cast<std::FILE*>(output));
}

unsigned char* CopyBytes(const unsigned char* data, long length) {
    auto* copy = new (std::nothrow) unsigned char[length > 0 ? length : 1];
    if (copy && length > 0) std::memcpy(copy, data, static_cast<size_t>(length));
    return copy;
}

int Fail(VorbisEditState* state, const char* text) {
    state->lastError = text;
    VorbisEditClearInternals(state);
    return -1;
}

// Asks the sync state for a page, passing over skipped bytes: 1 with a page,
// 0 when more data is needed.
int PageFromBuffered(ogg_sync_state* sync, ogg_page* page) {
    int result;
    while ((result = ogg_sync_pageout(sync, page)) < 0) {
    }
    return result;
}

// Reads chunks until the first page comes out, at most 10 after the first.
int ReadFirstPage(VorbisEditState* state, ogg_page* page) {
    size_t bytes = VorbisEditReadChunk(state);
    for (int further = 0; PageFromBuffered(state->sync, page) != 1; ++further) {
        if (further == kFurtherChunksForFirstPage || bytes == 0) {
            return Fail(state, bytes < kVorbisEditChunk ? "Input truncated or empty."
                                                        : "Input is not an Ogg bitstream.");
        }
        bytes = VorbisEditReadChunk(state);
    }
    return 0;
}

bool AllocateMembers(VorbisEditState* state) {
    state->sync = new (std::nothrow) ogg_sync_state();
    state->stream = new (std::nothrow) ogg_stream_state();
    state->info = new (std::nothrow) vorbis_info();
    state->comments = new (std::nothrow) vorbis_comment();
    if (!state->sync || !state->stream || !state->info || !state->comments) return false;
    ogg_sync_init(state->sync);
    vorbis_info_init(state->info);
    vorbis_comment_init(state->comments);
    return true;
}

// Takes the comment and setup packets from the pages that follow the first;
// then reads one more chunk, so the sync state holds data behind the headers.
int ReadSecondaryHeaders(VorbisEditState* state) {
    int collected = 0;
    ogg_page page;
    ogg_packet packet;
    while (collected < 2) {
        while (collected < 2) {
            int result = ogg_sync_pageout(state->sync, &page);
            if (result == 0) break;
            if (result < 0) continue;
            // The stream's own pages alone are taken; another's here means the
            // two are multiplexed.
            if (ogg_page_serialno(&page) != state->serial) state->interleaved = 1;
            ogg_stream_pagein(state->stream, &page);
            while (collected < 2) {
                result = ogg_stream_packetout(state->stream, &packet);
                if (result == 0) break;
                if (result < 0) return Fail(state, "Corrupt secondary header.");
                bool decode = collected == 0 || !state->readOnly;
                int decoded =
                    decode ? vorbis_synthesis_headerin(state->info, state->comments, &packet) : -1;
                if (collected == 1) {
                    state->setupDecoded = decoded == 0;
                    state->setupHeader = CopyBytes(packet.packet, packet.bytes);
                    if (!state->setupHeader) return Fail(state, "Corrupt secondary header.");
                    state->setupHeaderLength = packet.bytes;
                }
                ++collected;
            }
        }
        size_t bytes = VorbisEditReadChunk(state);
        if (bytes == 0 && collected < 2) return Fail(state, "EOF before end of vorbis headers.");
    }
    return 0;
}

int OpenHeaders(VorbisEditState* state, void* input, VorbisEditReadFunc read,
                VorbisEditWriteFunc write, bool readOnly);

}  // namespace

VorbisEditState* VorbisEditNewState() { return new (std::nothrow) VorbisEditState{}; }

size_t VorbisEditReadChunk(VorbisEditState* state) {
    char* buffer = ogg_sync_buffer(state->sync, static_cast<long>(kVorbisEditChunk));
    if (!buffer) return 0;
    size_t bytes = state->read(buffer, 1, kVorbisEditChunk, state->input);
    if (bytes > kVorbisEditChunk) bytes = 0;
    ogg_sync_wrote(state->sync, static_cast<long>(bytes));
    return bytes;
}

int VorbisEditOpen(VorbisEditState* state, std::FILE* in) {
    return VorbisEditOpenCallbacks(state, in, StdioRead, StdioWrite);
}

int VorbisEditOpenHeaders(VorbisEditState* state, std::FILE* in) {
    return OpenHeaders(state, in, StdioRead, StdioWrite, true);
}

int VorbisEditOpenCallbacks(VorbisEditState* state, void* input, VorbisEditReadFunc read,
                            VorbisEditWriteFunc write) {
    return OpenHeaders(state, input, read, write, false);
}

namespace {

int OpenHeaders(VorbisEditState* state, void* input, VorbisEditReadFunc read,
                VorbisEditWriteFunc write, bool readOnly) {
    if (!state) return -1;
    VorbisEditClearInternals(state);
    state->lastError = nullptr;
    state->readOnly = readOnly;
    state->input = input;
    state->read = read;
    state->write = write;
    if (!AllocateMembers(state)) return Fail(state, "Input truncated or empty.");

    ogg_page page;
    if (ReadFirstPage(state, &page) != 0) return -1;
    state->serial = ogg_page_serialno(&page);
    ogg_stream_init(state->stream, static_cast<int>(state->serial));

    ogg_packet packet;
    if (ogg_stream_pagein(state->stream, &page) < 0) {
        return Fail(state, "Error reading first page of Ogg bitstream.");
    }
    if (ogg_stream_packetout(state->stream, &packet) != 1) {
        return Fail(state, "Error reading initial header packet.");
    }
    if (vorbis_synthesis_headerin(state->info, state->comments, &packet) < 0) {
        return Fail(state, "Ogg bitstream does not contain vorbis data.");
    }
    state->mainHeader = CopyBytes(packet.packet, packet.bytes);
    if (!state->mainHeader) return Fail(state, "Error reading initial header packet.");
    state->mainHeaderLength = packet.bytes;

    if (ReadSecondaryHeaders(state) != 0) return -1;

    const char* vendor = state->comments->vendor ? state->comments->vendor : "";
    size_t length = std::strlen(vendor) + 1;
    state->vendor = new (std::nothrow) char[length];
    if (!state->vendor) return Fail(state, "Corrupt secondary header.");
    std::memcpy(state->vendor, vendor, length);
    return 0;
}

}  // namespace

vorbis_comment* VorbisEditComments(VorbisEditState* state) {
    return state ? state->comments : nullptr;
}

void VorbisEditClearInternals(VorbisEditState* state) {
    if (!state) return;
    if (state->comments) {
        vorbis_comment_clear(state->comments);
        delete state->comments;
    }
    if (state->stream) {
        ogg_stream_clear(state->stream);
        delete state->stream;
    }
    if (state->sync) {
        ogg_sync_clear(state->sync);
        delete state->sync;
    }
    delete[] state->vendor;
    delete[] state->mainHeader;
    delete[] state->setupHeader;
    if (state->info) {
        vorbis_info_clear(state->info);
        delete state->info;
    }
    const char* lastError = state->lastError;
    *state = VorbisEditState{};
    state->lastError = lastError;
}

void VorbisEditClear(VorbisEditState* state) {
    if (!state) return;
    VorbisEditClearInternals(state);
    delete state;
}
