// The Vorbis comment-header editor: reads the three header packets of an Ogg
// Vorbis stream and copies the stream to an output with a new comment header.
//
// The input is read in 4096-byte chunks through a read callback, so memory
// holds only the header packets and the pages in flight, whatever the size of
// the stream. Everything after the first logical stream is copied page by page
// without being repaginated. A stream interleaved with another (multiplexed)
// is read but never written: its rewrite would drop the other's pages.
//
// A state belongs to one thread at a time and serves one open, at most one
// write and one clear. Failures return -1 and leave a static text in
// lastError; nothing is shown or logged.
#ifndef LYPARSER_PARSERS_OGG_VORBIS_EDIT_H
#define LYPARSER_PARSERS_OGG_VORBIS_EDIT_H

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <cstddef>
#include <cstdio>
#include <memory>

// As fread: returns the number of bytes read into `buffer` (size is 1).
using VorbisEditReadFunc = size_t (*)(void* buffer, size_t size, size_t count, void* input);
// As fwrite: returns the number of bytes written (size is 1).
using VorbisEditWriteFunc = size_t (*)(const void* buffer, size_t size, size_t count, void* output);

struct VorbisEditState {
    ogg_sync_state* sync;      // input pages (owned)
    ogg_stream_state* stream;  // the input's first logical stream (owned)
    vorbis_comment* comments;  // comment list decoded from the input (owned)
    vorbis_info* info;         // stream information decoded from the headers (owned)
    VorbisEditReadFunc read;
    VorbisEditWriteFunc write;
    void* input;
    long serial;                // serial number of the input's first page
    unsigned char* mainHeader;  // identification header packet (owned)
    long mainHeaderLength;
    unsigned char* setupHeader;  // setup header packet (owned)
    long setupHeaderLength;
    const char* lastError;  // static text of the last failure, or null
    char* vendor;           // vendor string, terminator included (owned)
    int previousBlockSize;  // block size of the previous audio packet, 0 before the first
    int extraPage;          // a page of another logical stream is held, still to be written
    int endOfInput;         // the first logical stream (or the input) has ended
    int endPageSeen;        // the first logical stream ended with its end-of-stream page
    int interleaved;        // a page of another logical stream was met inside the first one
    int setupDecoded;       // the setup header decoded, so block sizes can be asked
    int readOnly;           // opened for the headers alone: the setup header is kept undecoded
};

constexpr size_t kVorbisEditChunk = 4096;

// A new state with every member zero; null when memory runs out. Release it
// with VorbisEditClear.
VorbisEditState* VorbisEditNewState();

// Reads the three headers from `in` with fread. 0 on success; -1 with
// lastError set and the state emptied otherwise. `in` stays the caller's.
int VorbisEditOpen(VorbisEditState* state, std::FILE* in);
// VorbisEditOpen for callers that want the properties and comments alone:
// same reads, results and failure texts, but the setup header's codebooks,
// needed only to write, are not decoded. VorbisEditWrite refuses the state.
int VorbisEditOpenHeaders(VorbisEditState* state, std::FILE* in);
// VorbisEditOpen with the caller's callbacks; `write` serves VorbisEditWrite.
int VorbisEditOpenCallbacks(VorbisEditState* state, void* input, VorbisEditReadFunc read,
                            VorbisEditWriteFunc write);

// The comment list read by the open; the caller may clear and refill it with
// libvorbis' comment functions. The vendor string of the input is kept apart.
vorbis_comment* VorbisEditComments(VorbisEditState* state);

// Writes the whole stream to `output` with the state's comment list: the
// headers, the first logical stream's audio repaginated with the granule
// positions it has, then everything that follows it unchanged. 0 when
// everything was written; -1 with lastError set when a write failed or the
// first stream is interleaved with another (the output is then incomplete).
// Consumes the header copies: call it once per state.
int VorbisEditWrite(VorbisEditState* state, void* output);

// Releases a state and everything it owns (null allowed).
void VorbisEditClear(VorbisEditState* state);

// Releases everything the state owns and zeroes it, keeping lastError.
void VorbisEditClearInternals(VorbisEditState* state);

// The comment packet for `vendor` and `comments`: type 3, "vorbis", the
// vendor and each comment with 32-bit little-endian lengths, the framing bit.
// The packet's bytes are owned by `writer`, which the caller must clear.
void VorbisEditBuildCommentPacket(const char* vendor, vorbis_comment* comments,
                                  oggpack_buffer* writer, ogg_packet* packet);

// The granule step of `packet`: (its block size + the previous one) / 4, or 0
// for the first audio packet. Remembers the packet's block size.
int VorbisEditBlockSize(VorbisEditState* state, ogg_packet* packet);

// The next audio packet of the first logical stream: 1 with the packet, 0 at
// its end. A page that begins a stream (the next link of a chain) or belongs
// to another one ends it and is left in `page` with extraPage set; the latter
// also sets interleaved.
int VorbisEditFetchPacket(VorbisEditState* state, ogg_packet* packet, ogg_page* page);

// Reads one chunk into the sync buffer; returns the bytes read.
size_t VorbisEditReadChunk(VorbisEditState* state);

struct VorbisEditDeleter {
    void operator()(VorbisEditState* state) const { VorbisEditClear(state); }
};
using VorbisEditPtr = std::unique_ptr<VorbisEditState, VorbisEditDeleter>;

#endif  // LYPARSER_PARSERS_OGG_VORBIS_EDIT_H
