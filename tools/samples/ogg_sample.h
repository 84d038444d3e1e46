// Ogg Vorbis files made from code with libvorbisenc: a sine tone encoded to
// Vorbis packets, and those packets laid into Ogg pages with a comment header
// of the caller's choice. Thread-safe (no shared state).
#ifndef LYPARSER_TOOLS_SAMPLES_OGG_SAMPLE_H
#define LYPARSER_TOOLS_SAMPLES_OGG_SAMPLE_H

#include <ogg/ogg.h>

#include <cstdint>
#include <string>
#include <vector>

using OggBytes = std::vector<unsigned char>;

struct VorbisPacket {
    OggBytes data;
    int64_t granule = -1;  // as the encoder set it
};

// The three header packets and the audio packets of one encoded stream.
struct VorbisPackets {
    OggBytes identification;
    OggBytes comment;
    OggBytes setup;
    std::vector<VorbisPacket> audio;
};

// Encodes a sine tone of `seconds` (quality -0.1 .. 1, small files at low
// quality). The comment header holds `comments` ("NAME=value" texts).
VorbisPackets EncodeVorbisTone(double seconds, int rate, int channels, float quality,
                               const std::vector<std::string>& comments = {});

// Submits one packet to `stream`; the first (number 0) begins the stream.
void SubmitVorbisPacket(ogg_stream_state* stream, const OggBytes& data, int64_t granule,
                        long number, bool last);

// Lays the packets into pages of logical stream `serial`: the identification
// header alone on the first page, the comment and setup headers flushed
// together (as many pages as they need), the audio paged as an encoder does,
// the last page marked as the end of the stream. With `packetsPerPage`, the
// audio pages are cut after that many packets instead, whatever their size
// (a page holds at most 255 segments).
OggBytes MuxVorbisStream(const VorbisPackets& packets, uint32_t serial, int packetsPerPage = 0);

struct OggSampleSpec {
    double seconds = 1.0;
    int rate = 22050;
    int channels = 2;
    float quality = 0.0f;
    std::vector<std::string> comments;
    uint32_t serial = 0x4c795061;
};

// A whole Ogg Vorbis file laid out as `layout` says.
OggBytes MakeOggVorbis(const OggSampleSpec& layout);

// The demo's sample: three seconds of stereo with a title, artist, album,
// date, track number and an encoder comment.
OggBytes MakeOggSample();

#endif  // LYPARSER_TOOLS_SAMPLES_OGG_SAMPLE_H
