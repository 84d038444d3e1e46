#include "tests/support/large_files.h"

#include <cstdint>

#include "tools/samples/mp4_sample.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wma_sample.h"

Bytes MakeLargeMp3(size_t bytes) {
    Bytes out = MakeId3v23Tag({{"TIT2", "Large"}, {"TPE1", "lyParser"}});
    const Bytes id3v1 = MakeId3v1Tag("Large", "lyParser", "", "2024", "", 1, 12);
    const Bytes audio = MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k,
                                       static_cast<int>(bytes / kMp3FrameLength128k + 1));
    out.insert(out.end(), audio.begin(), audio.end());
    out.insert(out.end(), id3v1.begin(), id3v1.end());
    return out;
}

// Encoding tens of megabytes takes seconds; two seconds encoded once and
// repeated take milliseconds. Each repetition carries the granules on, so
// they keep rising and the stream stays valid however long.
Bytes MakeLargeOgg(size_t bytes) {
    VorbisPackets tone = EncodeVorbisTone(2.0, 44100, 2, 0.9f, {"TITLE=Large", "ARTIST=lyParser"});
    VorbisPackets packets{tone.identification, tone.comment, tone.setup, {}};
    const int64_t span = tone.audio.back().granule;
    size_t total = 0;
    for (int64_t offset = 0; total < bytes; offset += span) {
        for (const VorbisPacket& audio : tone.audio) {
            packets.audio.push_back({audio.data, audio.granule + offset});
            total += audio.data.size();
        }
    }
    return MuxVorbisStream(packets, 0x4c617267);
}

Bytes MakeLargeWma(size_t bytes) {
    asf::FileLayout layout;
    layout.hasContentDescription = true;
    layout.content.title = u"Large";
    layout.content.author = u"lyParser";
    layout.attributes = {asf::Attribute::Text(u"WM/AlbumTitle", u"Samples")};
    layout.packetSize = 4096;
    layout.packets = static_cast<uint32_t>((bytes + layout.packetSize - 1) / layout.packetSize);
    return asf::MakeFile(layout);
}

Bytes MakeLargeM4a(size_t bytes) {
    Mp4Layout layout;
    layout.audioBytes = bytes;
    layout.chunkBytes = 4096;
    layout.items = {Mp4TextItem("\xA9nam", "Large"), Mp4TextItem("\xA9"
                                                                 "ART",
                                                                 "lyParser")};
    return MakeMp4(layout);
}
