// The two codecs COGGParser reads inside Ogg, told apart by their first
// header packet, and what their identification headers say: Vorbis through
// libvorbis (given that packet alone), Opus from its OpusHead. Thread-safe.
#ifndef LYPARSER_PARSERS_OGG_OGG_CODEC_H
#define LYPARSER_PARSERS_OGG_OGG_CODEC_H

#include <cstddef>
#include <cstdint>
#include <string>

enum class OggCodec { kNone, kVorbis, kOpus };

// The codec whose identification header begins with `data`; kNone for any
// other stream (video, FLAC, Speex, ...).
OggCodec CodecOfHeader(const unsigned char* data, size_t size);
// What begins the codec's comment header: "\x03vorbis" or "OpusTags".
std::string CommentMagic(OggCodec codec);
// The header packets a stream of the codec begins with: 3 or 2.
int HeaderPacketCount(OggCodec codec);

struct VorbisIdentification {
    int version = 0;
    int channels = 0;
    long rate = 0;
    long nominalBitrate = 0;  // bit/s
};
// Decodes a Vorbis identification header; false when libvorbis refuses it.
bool ReadVorbisIdentification(const std::string& packet, VorbisIdentification* out);

struct OpusHead {
    int version = 0;
    int channels = 0;
    int preSkip = 0;         // samples at 48 kHz
    uint32_t inputRate = 0;  // Hz, as the encoder was given it (0: not known)
    int outputGain = 0;      // dB in Q7.8
    int mappingFamily = 0;
};
// Reads an OpusHead packet; false when it is too short or of a version this
// reader does not know (major version other than 0).
bool ReadOpusHead(const std::string& packet, OpusHead* out);

#endif  // LYPARSER_PARSERS_OGG_OGG_CODEC_H
