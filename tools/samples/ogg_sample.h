// Ogg files made from code: Ogg Vorbis with libvorbisenc (a sine tone encoded
// to Vorbis packets, laid into Ogg pages with a comment header of the
// caller's choice), and Ogg Opus of silent frames with an OpusHead and an
// OpusTags header of the caller's choice. Thread-safe (no shared state).
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

struct OggSampleLayout {
    double seconds = 1.0;
    int rate = 22050;
    int channels = 2;
    float quality = 0.0f;
    std::vector<std::string> comments;
    uint32_t serial = 0x4c795061;
};

// A whole Ogg Vorbis file laid out as `layout` says.
OggBytes MakeOggVorbis(const OggSampleLayout& layout);

// The demo's sample: three seconds of stereo with a title, artist, album,
// date, track number and an encoder comment.
OggBytes MakeOggSample();

struct OpusSampleLayout {
    double seconds = 1.0;  // in 20 ms frames
    int frameBytes = 3;    // 3: silence; more: noise of that size, as a bit rate would make
    int channels = 2;
    int preSkip = 312;
    int outputGain = 0;  // dB in Q7.8
    uint32_t inputRate = 44100;
    std::string vendor = "libopus 1.3.1";
    std::vector<std::string> comments;
    OggBytes tagsTail;  // bytes behind the comment list (padding or kept data)
    uint32_t serial = 0x4f707573;
    int framesPerPage = 50;    // a page a second, as opusenc writes them
    int64_t granuleShift = 0;  // added to every audio granule
};

// The comment list that Vorbis and Opus comment headers both carry: the
// vendor, the count, then each comment, every length 32-bit little-endian.
OggBytes VorbisCommentList(const std::string& vendor, const std::vector<std::string>& comments);

// The bytes of an OpusTags packet.
OggBytes OpusTagsPacket(const std::string& vendor, const std::vector<std::string>& comments,
                        const OggBytes& tail = {});

// A whole Ogg Opus file laid out as `layout` says: OpusHead alone on the
// first page, OpusTags on the pages it needs, then the audio.
OggBytes MakeOggOpus(const OpusSampleLayout& layout);

// The demo's Opus sample: two seconds with the demo's fields.
OggBytes MakeOpusSample();

#endif  // LYPARSER_TOOLS_SAMPLES_OGG_SAMPLE_H
