#include "tests/support/ogg_fixtures.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

#include "tools/samples/flac_sample.h"

Bytes MakeOgg(const OggFixture& fixture) {
    // Encoding is the slow part: each tone is encoded once per test program.
    static std::map<std::tuple<double, int, int>, VorbisPackets> tones;
    VorbisPackets& tone = tones[{fixture.seconds, fixture.rate, fixture.channels}];
    if (tone.audio.empty())
        tone = EncodeVorbisTone(fixture.seconds, fixture.rate, fixture.channels, 0.0f);
    VorbisPackets packets = tone;
    packets.comment = CommentPacketBytes(fixture.vendor, fixture.comments);
    return MuxVorbisStream(packets, fixture.serial);
}

Bytes CommentPacketBytes(const std::string& vendor, const std::vector<std::string>& comments) {
    Bytes packet = {3, 'v', 'o', 'r', 'b', 'i', 's'};
    const Bytes list = VorbisCommentList(vendor, comments);
    packet.insert(packet.end(), list.begin(), list.end());
    packet.push_back(1);  // the framing bit
    return packet;
}

// Calls `visit` with every page libogg finds in `data`, and 1 for a good
// page or -1 for one dropped for a wrong checksum or damage.
static void ForEachPage(const Bytes& data, const std::function<void(int, ogg_page&)>& visit) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    std::copy(data.begin(), data.end(), ogg_sync_buffer(&sync, static_cast<long>(data.size())));
    ogg_sync_wrote(&sync, static_cast<long>(data.size()));
    ogg_page page;
    for (int result; (result = ogg_sync_pageout(&sync, &page)) != 0;) visit(result, page);
    ogg_sync_clear(&sync);
}

long FindSetupMarker(const Bytes& data) {
    const char head[] = "vorbis", tail[] = "BCV";
    for (auto at = data.begin(); (at = std::search(at, data.end(), head, head + 6)) != data.end();
         ++at) {
        if (data.end() - at >= 10 && std::equal(tail, tail + 3, at + 7)) return at - data.begin();
    }
    return -1;
}

OggPageReport InspectPages(const Bytes& data) {
    OggPageReport report;
    struct Stream {
        long number = -1;
        int64_t granule = 0;
    };
    std::map<int, Stream> streams;  // by serial
    ForEachPage(data, [&](int result, ogg_page& page) {
        ++(result < 0 ? report.badPages : report.pages);
        if (result < 0) return;
        Stream& stream = streams[ogg_page_serialno(&page)];
        report.numbered &= ogg_page_pageno(&page) == ++stream.number;
        stream.number = ogg_page_pageno(&page);
        if (ogg_page_granulepos(&page) != -1) {
            report.granulesRise &= ogg_page_granulepos(&page) >= stream.granule;
            stream.granule = ogg_page_granulepos(&page);
        }
        report.lastPageEnds = ogg_page_eos(&page) != 0;
    });
    return report;
}

std::vector<OggPageCopy> PagesOf(const Bytes& data) {
    std::vector<OggPageCopy> pages;
    ForEachPage(data, [&](int result, ogg_page& page) {
        if (result < 0) return;
        pages.push_back({ogg_page_serialno(&page), ogg_page_pageno(&page),
                         ogg_page_granulepos(&page), page.header[5],
                         Bytes(page.body, page.body + page.body_len)});
    });
    return pages;
}

std::string PictureComment(int type, const std::string& mimeType, const Bytes& image,
                           const std::string& description) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Bytes block = FlacPicture(type, mimeType, image);
    const size_t at = 8 + mimeType.size();  // the description's length, then its text
    block[at + 3] = static_cast<unsigned char>(description.size());
    block.insert(block.begin() + static_cast<long>(at) + 4, description.begin(), description.end());
    std::string text = "METADATA_BLOCK_PICTURE=";
    for (size_t i = 0; i < block.size(); i += 3) {
        uint32_t group = block[i] << 16;
        if (i + 1 < block.size()) group |= block[i + 1] << 8;
        if (i + 2 < block.size()) group |= block[i + 2];
        for (size_t j = 0; j < 4; ++j)
            text += i + j <= block.size() ? kDigits[(group >> (18 - 6 * j)) & 63] : '=';
    }
    return text;
}

OggReadBack ReadBack(const std::string& path) {
    OggReadBack back;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return back;
    const vorbis_comment* comments = ov_comment(&file, 0);
    back.texts.emplace_back(comments->vendor ? comments->vendor : "");
    for (int i = 0; i < comments->comments; ++i) {
        back.texts.emplace_back(comments->user_comments[i],
                                static_cast<size_t>(comments->comment_lengths[i]));
    }
    char buffer[8192];
    int section = 0;
    long got;
    while ((got = ov_read(&file, buffer, sizeof(buffer), 0, 2, 1, &section)) > 0) {
        const auto* values = reinterpret_cast<const int16_t*>(buffer);
        back.pcm.insert(back.pcm.end(), values, values + got / 2);
    }
    back.complete = got == 0;
    ov_clear(&file);
    return back;
}
