#include "tools/samples/ogg_sample.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>

namespace {

OggBytes PacketBytes(const ogg_packet& packet) {
    return OggBytes(packet.packet, packet.packet + packet.bytes);
}

// Drains every finished packet of the encoder into `out`.
void DrainPackets(vorbis_dsp_state* dsp, vorbis_block* block, std::vector<VorbisPacket>* out) {
    ogg_packet packet;
    while (vorbis_analysis_blockout(dsp, block) == 1) {
        vorbis_analysis(block, nullptr);
        vorbis_bitrate_addblock(block);
        while (vorbis_bitrate_flushpacket(dsp, &packet)) {
            out->push_back(VorbisPacket{PacketBytes(packet), packet.granulepos});
        }
    }
}

void EncodeSamples(vorbis_dsp_state* dsp, vorbis_block* block, double seconds, int rate,
                   int channels, std::vector<VorbisPacket>* out) {
    const long total = static_cast<long>(seconds * rate);
    const long step = 1024;
    for (long done = 0; done < total; done += step) {
        long count = std::min(step, total - done);
        float** buffer = vorbis_analysis_buffer(dsp, static_cast<int>(count));
        for (int c = 0; c < channels; ++c) {
            double frequency = 440.0 * (1 + c * 0.25);
            for (long i = 0; i < count; ++i) {
                buffer[c][i] =
                    static_cast<float>(0.3 * std::sin(2 * M_PI * frequency * (done + i) / rate));
            }
        }
        vorbis_analysis_wrote(dsp, static_cast<int>(count));
        DrainPackets(dsp, block, out);
    }
    vorbis_analysis_wrote(dsp, 0);
    DrainPackets(dsp, block, out);
}

void WritePage(const ogg_page& page, OggBytes* out) {
    out->insert(out->end(), page.header, page.header + page.header_len);
    out->insert(out->end(), page.body, page.body + page.body_len);
}

}  // namespace

VorbisPackets EncodeVorbisTone(double seconds, int rate, int channels, float quality,
                               const std::vector<std::string>& comments) {
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
        vorbis_info_clear(&info);
        throw std::runtime_error("vorbis encoder refused the format");
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    for (const auto& text : comments) vorbis_comment_add(&comment, text.c_str());
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);

    VorbisPackets packets;
    ogg_packet id, com, code;
    vorbis_analysis_headerout(&dsp, &comment, &id, &com, &code);
    packets.identification = PacketBytes(id);
    packets.comment = PacketBytes(com);
    packets.setup = PacketBytes(code);
    EncodeSamples(&dsp, &block, seconds, rate, channels, &packets.audio);

    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return packets;
}

void SubmitVorbisPacket(ogg_stream_state* stream, const OggBytes& data, int64_t granule,
                        long number, bool last) {
    ogg_packet packet{};
    packet.packet = const_cast<unsigned char*>(data.data());
    packet.bytes = static_cast<long>(data.size());
    packet.b_o_s = number == 0;
    packet.e_o_s = last;
    packet.granulepos = granule;
    packet.packetno = number;
    ogg_stream_packetin(stream, &packet);
}

OggBytes MuxVorbisStream(const VorbisPackets& packets, uint32_t serial, int packetsPerPage) {
    ogg_stream_state stream;
    ogg_stream_init(&stream, static_cast<int>(serial));
    OggBytes out;
    ogg_page page;
    auto submit = [&](const OggBytes& data, int64_t granule, long number, bool last) {
        SubmitVorbisPacket(&stream, data, granule, number, last);
    };
    submit(packets.identification, 0, 0, false);
    submit(packets.comment, 0, 1, false);
    submit(packets.setup, 0, 2, false);
    while (ogg_stream_flush(&stream, &page)) WritePage(page, &out);
    long number = 3;
    for (size_t i = 0; i < packets.audio.size(); ++i) {
        const auto& audio = packets.audio[i];
        submit(audio.data, audio.granule, number++, i + 1 == packets.audio.size());
        if (packetsPerPage > 0) {
            // No size limit: a page holds its packets (up to 255 segments) however many bytes they
            // make.
            if ((i + 1) % static_cast<size_t>(packetsPerPage) == 0) {
                while (ogg_stream_flush_fill(&stream, &page, INT_MAX)) WritePage(page, &out);
            }
            continue;
        }
        while (ogg_stream_pageout(&stream, &page)) WritePage(page, &out);
    }
    while (ogg_stream_flush(&stream, &page)) WritePage(page, &out);
    ogg_stream_clear(&stream);
    return out;
}

OggBytes MakeOggVorbis(const OggSampleLayout& layout) {
    return MuxVorbisStream(EncodeVorbisTone(layout.seconds, layout.rate, layout.channels,
                                            layout.quality, layout.comments),
                           layout.serial);
}

OggBytes MakeOggSample() {
    OggSampleLayout layout;
    layout.seconds = 3;
    layout.comments = {"TITLE=Evening Tone", "ARTIST=lyParser", "ALBUM=Samples",
                       "DATE=2024",          "TRACKNUMBER=2",   "ENCODER=libvorbisenc"};
    return MakeOggVorbis(layout);
}

OggBytes VorbisCommentList(const std::string& vendor, const std::vector<std::string>& comments) {
    OggBytes list;
    auto put = [&list](size_t length, const std::string& text) {
        for (int i = 0; i < 4; ++i) list.push_back(static_cast<unsigned char>(length >> (8 * i)));
        list.insert(list.end(), text.begin(), text.end());
    };
    put(vendor.size(), vendor);
    put(comments.size(), "");
    for (const auto& text : comments) put(text.size(), text);
    return list;
}

OggBytes OpusTagsPacket(const std::string& vendor, const std::vector<std::string>& comments,
                        const OggBytes& tail) {
    OggBytes packet = {'O', 'p', 'u', 's', 'T', 'a', 'g', 's'};
    const OggBytes list = VorbisCommentList(vendor, comments);
    packet.insert(packet.end(), list.begin(), list.end());
    packet.insert(packet.end(), tail.begin(), tail.end());
    return packet;
}

OggBytes MakeOggOpus(const OpusSampleLayout& layout) {
    OggBytes head = {'O', 'p', 'u', 's', 'H',
                     'e', 'a', 'd', 1,   static_cast<unsigned char>(layout.channels)};
    auto put = [&head](uint64_t value, int width) {
        for (int i = 0; i < width; ++i)
            head.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };
    put(static_cast<uint64_t>(layout.preSkip), 2);
    put(layout.inputRate, 4);
    put(static_cast<uint16_t>(layout.outputGain), 2);
    head.push_back(0);  // mapping family 0: mono or stereo
    ogg_stream_state stream;
    ogg_stream_init(&stream, static_cast<int>(layout.serial));
    OggBytes out;
    ogg_page page;
    SubmitVorbisPacket(&stream, head, 0, 0, false);
    while (ogg_stream_flush(&stream, &page)) WritePage(page, &out);
    SubmitVorbisPacket(&stream, OpusTagsPacket(layout.vendor, layout.comments, layout.tagsTail), 0,
                       1, false);
    while (ogg_stream_flush(&stream, &page)) WritePage(page, &out);
    // A 20 ms CELT frame (960 samples at 48 kHz): silence, or noise.
    OggBytes frame = {static_cast<unsigned char>(layout.channels > 1 ? 0xFC : 0xF8), 0xFF, 0xFE};
    for (size_t i = frame.size(); i < static_cast<size_t>(layout.frameBytes); ++i)
        frame.push_back(static_cast<unsigned char>(i * 2654435761u >> 13));
    const long frames = std::max(1L, static_cast<long>(layout.seconds * 50));
    for (long i = 0; i < frames; ++i) {
        const int64_t granule = (i + 1) * 960 + layout.granuleShift;
        SubmitVorbisPacket(&stream, frame, granule, i + 2, i + 1 == frames);
        if ((i + 1) % layout.framesPerPage == 0) {
            while (ogg_stream_flush(&stream, &page)) WritePage(page, &out);
        }
    }
    while (ogg_stream_flush(&stream, &page)) WritePage(page, &out);
    ogg_stream_clear(&stream);
    return out;
}

OggBytes MakeOpusSample() {
    OpusSampleLayout layout;
    layout.seconds = 2;
    layout.comments = {"TITLE=Night Tone", "ARTIST=lyParser", "ALBUM=Samples",
                       "DATE=2024",        "TRACKNUMBER=3",   "ENCODER=lyParser samples"};
    return MakeOggOpus(layout);
}
