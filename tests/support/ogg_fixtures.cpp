#include "tests/support/ogg_fixtures.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include "tests/support/process.h"
#include "tools/samples/ogg_sample.h"

namespace {

constexpr char kPaddingVendor[] = "Xiph.Org libVorbis I 20200704 (Reducing Environment)";

// Encoding is the slow part: each tone is encoded once per test program.
const VorbisPackets& Tone(double seconds, int rate, int channels) {
    static std::mutex lock;
    static std::map<std::tuple<double, int, int>, VorbisPackets> cache;
    std::lock_guard<std::mutex> guard(lock);
    auto key = std::make_tuple(seconds, rate, channels);
    auto found = cache.find(key);
    if (found == cache.end()) {
        found = cache.emplace(key, EncodeVorbisTone(seconds, rate, channels, 0.0f)).first;
    }
    return found->second;
}

void PutLittle32(Bytes* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::string FromHex(const std::string& hex) {
    std::string text;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        text.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return text;
}

// Appends one page with a correct checksum.
void AppendPage(Bytes* out, uint32_t serial, uint32_t number, int64_t granule, bool continued, bool first,
                const std::vector<unsigned char>& lacing, const Bytes& body) {
    Bytes header = {'O', 'g', 'g', 'S', 0, static_cast<unsigned char>((continued ? 1 : 0) | (first ? 2 : 0))};
    for (int i = 0; i < 8; ++i) header.push_back(static_cast<unsigned char>(static_cast<uint64_t>(granule) >> (8 * i)));
    PutLittle32(&header, serial);
    PutLittle32(&header, number);
    PutLittle32(&header, 0);
    header.push_back(static_cast<unsigned char>(lacing.size()));
    header.insert(header.end(), lacing.begin(), lacing.end());
    ogg_page page{header.data(), static_cast<long>(header.size()), const_cast<unsigned char*>(body.data()),
                  static_cast<long>(body.size())};
    ogg_page_checksum_set(&page);
    out->insert(out->end(), header.begin(), header.end());
    out->insert(out->end(), body.begin(), body.end());
}

// Lays `packets` into pages of at most `bodyPerPage` bytes, numbered from
// `number`; returns the number of pages made.
uint32_t AppendSmallPages(Bytes* out, uint32_t serial, uint32_t number, const std::vector<Bytes>& packets,
                          size_t bodyPerPage) {
    std::vector<unsigned char> lacing;
    Bytes body;
    bool continued = false, ended = false, inPacket = false;
    uint32_t made = 0;
    auto flush = [&]() {
        AppendPage(out, serial, number + made++, ended ? 0 : -1, continued, false, lacing, body);
        lacing.clear();
        body.clear();
        continued = inPacket;
        ended = false;
    };
    for (const auto& packet : packets) {
        size_t left = packet.size();
        const unsigned char* data = packet.data();
        for (;;) {
            size_t segment = std::min<size_t>(left, 255);
            if (!lacing.empty() && (lacing.size() == 255 || body.size() + segment > bodyPerPage)) flush();
            lacing.push_back(static_cast<unsigned char>(segment));
            body.insert(body.end(), data, data + segment);
            data += segment;
            left -= segment;
            inPacket = true;
            if (segment < 255) break;
        }
        ended = true;
        inPacket = false;
    }
    if (!lacing.empty()) flush();
    return made;
}

size_t PageLength(const Bytes& data, size_t at) {
    size_t length = 27 + data[at + 26];
    for (size_t i = 0; i < data[at + 26]; ++i) length += data[at + 27 + i];
    return length;
}

int64_t PageGranule(const Bytes& data, size_t at) {
    uint64_t granule = 0;
    for (int i = 7; i >= 0; --i) granule = (granule << 8) | data[at + 6 + static_cast<size_t>(i)];
    return static_cast<int64_t>(granule);
}

}  // namespace

Bytes MakeOggWithSmallHeaderPages(const OggFixture& fixture, size_t bodyPerPage) {
    Bytes normal = MakeOgg(fixture);
    const VorbisPackets& packets = Tone(fixture.seconds, fixture.rate, fixture.channels);
    Bytes comment = CommentPacketBytes(fixture.vendor.empty() ? kPaddingVendor : fixture.vendor, fixture.comments);
    size_t at = PageLength(normal, 0);
    Bytes out(normal.begin(), normal.begin() + static_cast<long>(at));
    uint32_t number = 1 + AppendSmallPages(&out, fixture.serial, 1, {comment, packets.setup}, bodyPerPage);
    while (at < normal.size() && PageGranule(normal, at) == 0) at += PageLength(normal, at);  // old header pages
    for (; at < normal.size(); at += PageLength(normal, at)) {
        Bytes page(normal.begin() + static_cast<long>(at), normal.begin() + static_cast<long>(at + PageLength(normal, at)));
        for (int i = 0; i < 4; ++i) page[18 + static_cast<size_t>(i)] = static_cast<unsigned char>(number >> (8 * i));
        ++number;
        SetPageChecksum(&page, 0);
        out.insert(out.end(), page.begin(), page.end());
    }
    return out;
}

void SetPageChecksum(Bytes* data, size_t at) {
    size_t headerLength = 27 + (*data)[at + 26];
    ogg_page view{data->data() + at, static_cast<long>(headerLength), data->data() + at + headerLength,
                  static_cast<long>(PageLength(*data, at) - headerLength)};
    ogg_page_checksum_set(&view);
}

Bytes CommentPacketBytes(const std::string& vendor, const std::vector<std::string>& comments) {
    Bytes packet = {3, 'v', 'o', 'r', 'b', 'i', 's'};
    PutLittle32(&packet, static_cast<uint32_t>(vendor.size()));
    packet.insert(packet.end(), vendor.begin(), vendor.end());
    PutLittle32(&packet, static_cast<uint32_t>(comments.size()));
    for (const auto& text : comments) {
        PutLittle32(&packet, static_cast<uint32_t>(text.size()));
        packet.insert(packet.end(), text.begin(), text.end());
    }
    packet.push_back(1);
    return packet;
}

Bytes MakeOgg(const OggFixture& fixture) {
    VorbisPackets packets = Tone(fixture.seconds, fixture.rate, fixture.channels);
    std::string vendor = fixture.vendor.empty() ? kPaddingVendor : fixture.vendor;
    packets.comment = CommentPacketBytes(vendor, fixture.comments);
    return MuxVorbisStream(packets, fixture.serial, fixture.packetsPerPage);
}

std::vector<int64_t> PacketGranules(const OggFixture& fixture) {
    std::vector<int64_t> granules;
    for (const auto& packet : Tone(fixture.seconds, fixture.rate, fixture.channels).audio) {
        granules.push_back(packet.granule);
    }
    return granules;
}

long FindSetupMarker(const Bytes& data) {
    for (size_t at = 0; at + 10 <= data.size(); ++at) {
        if (std::memcmp(&data[at], "vorbis", 6) == 0 && std::memcmp(&data[at + 7], "BCV", 3) == 0) {
            return static_cast<long>(at);
        }
    }
    return -1;
}

Bytes OggWithMarkerAt(long offset) {
    VorbisPackets headers = Tone(0.5, 22050, 1);
    headers.audio.clear();
    for (long padding = 0; padding < offset; ++padding) {
        headers.comment = CommentPacketBytes(kPaddingVendor, {"PADDING=" + std::string(padding, 'p')});
        long at = FindSetupMarker(MuxVorbisStream(headers, 7));
        if (at > offset) break;
        if (at == offset) {
            OggFixture fixture;
            fixture.channels = 1;
            fixture.serial = 7;
            fixture.comments = {"PADDING=" + std::string(padding, 'p')};
            return MakeOgg(fixture);
        }
    }
    return Bytes();
}

OggPageReport InspectPages(const Bytes& data) {
    OggPageReport report;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(data.size()));
    std::memcpy(buffer, data.data(), data.size());
    ogg_sync_wrote(&sync, static_cast<long>(data.size()));
    std::map<int, int64_t> lastGranule;
    ogg_page page;
    int result;
    while ((result = ogg_sync_pageout(&sync, &page)) != 0) {
        if (result < 0) {
            ++report.badPages;
            continue;
        }
        ++report.pages;
        if (ogg_page_bos(&page)) ++report.streams;
        int64_t granule = ogg_page_granulepos(&page);
        int serial = ogg_page_serialno(&page);
        if (granule != -1) {
            report.granules.push_back(granule);
            auto found = lastGranule.find(serial);
            if (found != lastGranule.end() && granule < found->second) report.granulesRise = false;
            lastGranule[serial] = granule;
        }
        report.lastPageEnds = ogg_page_eos(&page) != 0;
    }
    ogg_sync_clear(&sync);
    return report;
}

bool DecodePcm(const std::string& path, std::vector<int16_t>* samples) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return false;
    samples->clear();
    char buffer[8192];
    int section = 0;
    long got;
    while ((got = ov_read(&file, buffer, sizeof(buffer), 0, 2, 1, &section)) > 0) {
        const auto* values = reinterpret_cast<const int16_t*>(buffer);
        samples->insert(samples->end(), values, values + got / 2);
    }
    ov_clear(&file);
    return got == 0;
}

MutagenTags ReadWithMutagen(const std::string& path) {
    static const char kScript[] =
        "import sys\n"
        "from mutagen.oggvorbis import OggVorbis\n"
        "f = OggVorbis(sys.argv[1])\n"
        "print(f.tags.vendor.encode('utf-8').hex())\n"
        "for k, v in f.tags:\n"
        "    print((k + '=' + v).encode('utf-8').hex())\n";
    MutagenTags tags;
    CommandResult run = RunPython(kScript, {path});
    if (run.status != 0) return tags;
    size_t start = 0;
    bool first = true;
    while (start < run.out.size()) {
        size_t end = run.out.find('\n', start);
        if (end == std::string::npos) end = run.out.size();
        std::string text = FromHex(run.out.substr(start, end - start));
        if (first) {
            tags.vendor = text;
        } else {
            tags.comments.push_back(text);
        }
        first = false;
        start = end + 1;
    }
    tags.ok = true;
    return tags;
}

std::vector<std::string> ReadCommentTexts(const std::string& path, std::string* vendor) {
    std::vector<std::string> texts;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return texts;
    vorbis_comment* comments = ov_comment(&file, -1);
    for (int i = 0; comments && i < comments->comments; ++i) {
        texts.emplace_back(comments->user_comments[i], static_cast<size_t>(comments->comment_lengths[i]));
    }
    if (vendor && comments && comments->vendor) *vendor = comments->vendor;
    ov_clear(&file);
    return texts;
}
