// COGGParser: the technical texts. Vorbis answers from its identification
// header and the engine's length; Opus from its OpusHead and, for the length
// and the bit rate, the granule position of its last page.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/host_text.h"
#include "core/module_state.h"
#include "core/platform_file.h"
#include "lyCenter.h"
#include "parsers/ogg/ogg_page.h"
#include "parsers/ogg/ogg_parser.h"

namespace {

constexpr int64_t kOpusRate = 48000;
// The end of the file is searched backwards in blocks this large, overlapping
// by a page, for at most kTailSearch bytes.
constexpr int64_t kTailBlock = 96 * 1024;
constexpr int64_t kTailSearch = 4 << 20;

std::string Line(const char* label, const std::string& value) {
    return std::string(label) + ": " + value + "\n";
}

// The granule of the last page of stream `serial` that has one in `block`,
// or -1. Candidates are tried from the end, so only the last pages are read.
int64_t LastGranule(const std::vector<unsigned char>& block, size_t size, uint32_t serial) {
    for (size_t at = size; at-- > 0;) {
        OggPage page;
        if (block[at] != 'O' ||
            ReadOggPage(block.data() + at, size - at, &page) != OggPageRead::kPage)
            continue;
        if (page.serial == serial && page.granule >= 0) return page.granule;
    }
    return -1;
}

}  // namespace

int64_t COGGParser::OpusSamples() {
    if (samples_ != -2) return samples_;
    samples_ = -1;
    FileReader file(NativePath(path_));
    if (!file.IsOpen()) return samples_;
    std::vector<unsigned char> block(static_cast<size_t>(kTailBlock));
    int64_t end = file.Identity().size;
    for (int64_t searched = 0; end > audioStart_ && searched < kTailSearch;) {
        const int64_t begin = std::max(audioStart_, end - kTailBlock);
        if (file.ReadAt(begin, block.data(), end - begin) != end - begin) return samples_;
        const int64_t granule = LastGranule(block, static_cast<size_t>(end - begin),
                                            static_cast<uint32_t>(serialNumber_));
        if (granule >= 0) return samples_ = std::max<int64_t>(0, granule - opus_.preSkip);
        searched += end - begin;
        end = begin + static_cast<int64_t>(kOggMaxPage);
        if (begin == audioStart_) break;
    }
    return samples_;
}

StringEx COGGParser::GetFileInfo(int kind) {
    if (openedFromMemory_) return StringEx();
    if (codec_ == OggCodec::kOpus) {
        const int64_t samples =
            kind == INFO_REPORT || kind == INFO_AUDIO_BIT_RATE || kind == INFO_LENGTH_SECONDS
                ? OpusSamples()
                : 0;
        switch (kind) {
            case INFO_REPORT:
                return OpusReport();
            case INFO_AUDIO_SAMPLE_RATE:
                return StringEx(IntText(sampleRate_));
            case INFO_AUDIO_BIT_RATE: {
                const int64_t bytes = identity_.size - audioStart_;
                return StringEx(IntText(
                    samples > 0 ? static_cast<int>(bytes * 8 * kOpusRate / samples / 1000) : 0));
            }
            case INFO_LENGTH_SECONDS:
                return StringEx(
                    IntText(static_cast<int>(std::max<int64_t>(samples, 0) / kOpusRate)));
            case INFO_AUDIO_CHANNELS:
                return StringEx(channels_ == 1 ? "MONO" : "STEREO");
            default:
                return StringEx();
        }
    }
    switch (kind) {
        case INFO_REPORT:
            return StringEx(FormatHostText(
                LYTEXT_VORBIS_REPORT,
                {vendor_, version_, sampleRate_, nominalBitrateK_, serialNumber_, channels_}));
        case INFO_OGG_SAMPLE_RATE:
            return StringEx(IntText(sampleRate_));
        case INFO_OGG_NOMINAL_BIT_RATE:
            return StringEx(IntText(nominalBitrateK_));
        case INFO_LENGTH_SECONDS:
            return StringEx(IntText(EngineAudioSeconds(path_)));
        case INFO_OGG_CHANNELS:
            return StringEx(channels_ == 1 ? "MONO" : "STEREO");
        default:
            return StringEx();
    }
}

// One line each: the format, the player's file size and length, then in
// fixed English what the player has no text for, the output gain included.
StringEx COGGParser::OpusReport() {
    const int64_t samples = std::max<int64_t>(OpusSamples(), 0);
    std::string length, gain;
    GetUnitTime(&length, static_cast<int>(samples / kOpusRate));
    char decibels[32];
    std::snprintf(decibels, sizeof decibels, "%.2f dB", opus_.outputGain / 256.0);
    std::string report = Line("Format", "Opus");
    report += FormatHostText(LYTEXT_FILE_SIZE, {static_cast<int>(identity_.size)});
    report += FormatHostText(LYTEXT_LENGTH, {length});
    report += Line("Bit rate", GetFileInfo(INFO_AUDIO_BIT_RATE).GetNarrow() + " kbit/s");
    report += Line("Sample rate", IntText(sampleRate_) + " Hz");
    report += Line("Channels", IntText(channels_));
    report += Line("Input sample rate", IntText(static_cast<int>(opus_.inputRate)) + " Hz");
    report += Line("Output gain", decibels);
    report += Line("Pre-skip", IntText(opus_.preSkip) + " samples");
    report += Line("Vendor", vendor_);
    return StringEx(report);
}
