#include "parsers/ogg/ogg_codec.h"

#include <vorbis/codec.h>

#include <cstring>

#include "core/little_endian.h"

namespace {

constexpr char kVorbisHead[] = "\x01vorbis";
constexpr char kOpusHead[] = "OpusHead";
constexpr size_t kMagicLength = 7;
constexpr size_t kOpusMagicLength = 8;
constexpr size_t kOpusHeadLength = 19;

}  // namespace

OggCodec CodecOfHeader(const unsigned char* data, size_t size) {
    if (size >= kMagicLength && std::memcmp(data, kVorbisHead, kMagicLength) == 0)
        return OggCodec::kVorbis;
    if (size >= kOpusMagicLength && std::memcmp(data, kOpusHead, kOpusMagicLength) == 0)
        return OggCodec::kOpus;
    return OggCodec::kNone;
}

std::string CommentMagic(OggCodec codec) {
    switch (codec) {
        case OggCodec::kVorbis:
            return std::string("\x03vorbis", kMagicLength);
        case OggCodec::kOpus:
            return "OpusTags";
        default:
            return std::string();
    }
}

int HeaderPacketCount(OggCodec codec) { return codec == OggCodec::kVorbis ? 3 : 2; }

bool ReadVorbisIdentification(const std::string& packet, VorbisIdentification* out) {
    vorbis_info info;
    vorbis_comment comment;
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
    ogg_packet header{};
    header.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(packet.data()));
    header.bytes = static_cast<long>(packet.size());
    header.b_o_s = 1;
    const bool read = vorbis_synthesis_headerin(&info, &comment, &header) == 0;
    if (read) {
        out->version = info.version;
        out->channels = info.channels;
        out->rate = info.rate;
        out->nominalBitrate = info.bitrate_nominal;
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return read;
}

bool ReadOpusHead(const std::string& packet, OpusHead* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(packet.data());
    if (packet.size() < kOpusHeadLength || CodecOfHeader(p, packet.size()) != OggCodec::kOpus)
        return false;
    out->version = p[8];
    if (out->version >> 4 != 0) return false;
    out->channels = p[9];
    out->preSkip = static_cast<int>(LittleEndian(p + 10, 2));
    out->inputRate = static_cast<uint32_t>(LittleEndian(p + 12, 4));
    out->outputGain = static_cast<int16_t>(LittleEndian(p + 16, 2));
    out->mappingFamily = p[18];
    return out->channels > 0;
}
