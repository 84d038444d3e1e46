#include "tools/samples/mp4_sample.h"

#include <initializer_list>

namespace {

SampleBytes Big(uint64_t value, int bytes) {
    SampleBytes out;
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    return out;
}

SampleBytes Text(const std::string& text) { return SampleBytes(text.begin(), text.end()); }

SampleBytes Cat(std::initializer_list<SampleBytes> parts) {
    SampleBytes out;
    for (const SampleBytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

SampleBytes Movie(const Mp4Layout& layout, uint64_t audioStart) {
    const int width = layout.offsetTable == "stco" ? 4 : 8;
    const size_t chunks = (layout.audioBytes + layout.chunkBytes - 1) / layout.chunkBytes;
    SampleBytes offsets = Cat({SampleBytes(4, 0), Big(chunks, 4)});
    offsets.reserve(offsets.size() + chunks * width);
    for (size_t i = 0; i < chunks; ++i) {
        const SampleBytes offset =
            Big(audioStart + i * layout.chunkBytes + layout.offsetBias, width);
        offsets.insert(offsets.end(), offset.begin(), offset.end());
    }
    // AAC LC, 44.1 kHz stereo, 128 kbit/s on average.
    const SampleBytes decoderConfig = Cat(
        {{0x04, 17, 0x40, 0x15, 0, 0, 0}, Big(128000, 4), Big(128000, 4), {0x05, 2, 0x12, 0x10}});
    const SampleBytes esds =
        Mp4Atom("esds", Cat({SampleBytes(4, 0), {0x03, 25, 0, 1, 0}, decoderConfig, {0x06, 1, 2}}));
    const SampleBytes entry = Mp4Atom("mp4a", Cat({SampleBytes(6, 0),
                                                   {0, 1},
                                                   SampleBytes(8, 0),
                                                   {0, 2, 0, 16},
                                                   SampleBytes(4, 0),
                                                   Big(44100u << 16, 4),
                                                   esds}));
    const SampleBytes table =
        Mp4Atom("stbl", Cat({Mp4Atom("stsd", Cat({SampleBytes(4, 0), Big(1, 4), entry})),
                             Mp4Atom(layout.offsetTable.c_str(), offsets)}));
    const SampleBytes media = Mp4Atom(
        "mdia", Cat({Mp4Atom("mdhd", Cat({SampleBytes(12, 0), Big(44100, 4), Big(88200, 4),
                                          SampleBytes(4, 0)})),
                     Mp4Atom("hdlr", Cat({SampleBytes(8, 0), Text("soun"), SampleBytes(13, 0)})),
                     Mp4Atom("minf", table)}));
    SampleBytes list;
    for (const SampleBytes& item : layout.items) list.insert(list.end(), item.begin(), item.end());
    const SampleBytes meta = Mp4Atom(
        "meta", Cat({SampleBytes(4, 0),
                     Mp4Atom("hdlr", Cat({SampleBytes(8, 0), Text("mdirappl"), SampleBytes(9, 0)})),
                     Mp4Atom("ilst", list)}));
    return Mp4Atom("moov", Cat({Mp4Atom("trak", media), Mp4Atom("udta", meta)}));
}

}  // namespace

SampleBytes Mp4Atom(const char* name, const SampleBytes& content) {
    return Cat({Big(8 + content.size(), 4), Text(name), content});
}

SampleBytes Mp4TextItem(const char* name, const std::string& text) {
    return Mp4Atom(name, Mp4Atom("data", Cat({Big(1, 4), SampleBytes(4, 0), Text(text)})));
}

SampleBytes MakeMp4(const Mp4Layout& layout) {
    const SampleBytes fileType = Mp4Atom("ftyp", Text(std::string("M4A \0\0\0\0M4A mp42isom", 20)));
    const SampleBytes audio = Mp4Atom("mdat", NoiseBytes(layout.audioBytes));
    if (!layout.moovFirst) return Cat({fileType, audio, Movie(layout, fileType.size() + 8)});
    const size_t movieSize = Movie(layout, 0).size();
    return Cat({fileType, Movie(layout, fileType.size() + movieSize + 8), audio});
}
