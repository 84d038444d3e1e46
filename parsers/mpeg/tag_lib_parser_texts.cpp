// CTagLibParser's texts: technical values, the information report and the
// description kinds.
// taglib.h defines the macros mpegproperties.h uses.
// clang-format off
#include <taglib/taglib.h>
#include <taglib/mpegproperties.h>
// clang-format on

#include <cmath>

#include "core/description_text.h"
#include "core/gbuffer.h"
#include "core/host_text.h"
#include "core/path_text.h"
#include "lyCenter.h"
#include "parsers/mpeg/mpeg_file.h"
#include "parsers/mpeg/tag_lib_parser.h"

namespace {

const char* YesNo(bool value) { return value ? "YES" : "NO"; }

const char* ChannelModeText(TagLib::MPEG::Header::ChannelMode mode) {
    switch (mode) {
        case TagLib::MPEG::Header::Stereo:
            return "Stereo";
        case TagLib::MPEG::Header::SingleChannel:
            return "SingleChannel";
        default:
            return "JointStereo";
    }
}

const char* EmphasisText(int emphasis) {
    static const char* const kTexts[] = {"None", "50/15 ms", "reserved", "CCIT J.17"};
    return kTexts[emphasis & 0x03];
}

double VersionNumber(TagLib::MPEG::Header::Version version) {
    switch (version) {
        case TagLib::MPEG::Header::Version2:
            return 2.0;
        case TagLib::MPEG::Header::Version2_5:
            return 2.5;
        default:
            return 1.0;
    }
}

// Frames from the Xing header, else the audio range over the first frame's
// length, rounded; 0 when that length is unknown.
int FrameCount(const CMPEGFile& file) {
    if (file.VbrFrameCount() >= 0) return static_cast<int>(file.VbrFrameCount());
    int frameLength = file.FirstHeader().FrameLength();
    if (frameLength == 0) return 0;
    double range = static_cast<double>(file.AudioEnd()) - file.AudioStart();
    return static_cast<int>(std::lround(range / frameLength));
}

}  // namespace

StringEx CTagLibParser::GetFileInfo(int kind) {
    if (!tag_) return StringEx();
    TagLib::AudioProperties* properties = file_.file()->audioProperties();
    TagLib::MPEG::Properties* mpeg = mpeg_ ? mpeg_->audioProperties() : nullptr;
    switch (kind) {
        case INFO_REPORT:
            return InformationReport();
        case INFO_MP3_FILE_SIZE:
            return StringEx(IntText(static_cast<int>(file_.file()->length())));
        case INFO_MP3_BIT_RATE:
            return properties ? StringEx(IntText(properties->bitrate())) : StringEx();
        case INFO_MP3_SAMPLE_RATE:
            return properties ? StringEx(IntText(properties->sampleRate())) : StringEx();
        case INFO_LENGTH_SECONDS:
            return properties ? StringEx(IntText(properties->lengthInSeconds())) : StringEx();
        case INFO_MP3_VBR_HEADER:
            return mpeg_ ? StringEx(YesNo(mpeg_->HasVbrHeader())) : StringEx();
        case INFO_MP3_CHANNEL_MODE:
            return mpeg ? StringEx(ChannelModeText(mpeg->channelMode())) : StringEx();
        case INFO_MP3_ID3V2_SIZE:
            return mpeg_ && mpeg_->hasID3v2Tag()
                       ? StringEx(IntText(static_cast<int>(mpeg_->ID3v2CompleteSize())))
                       : StringEx();
        case INFO_MP3_COPYRIGHTED:
            return mpeg ? StringEx(YesNo(mpeg->isCopyrighted())) : StringEx();
        case INFO_MP3_ORIGINAL:
            return mpeg ? StringEx(YesNo(mpeg->isOriginal())) : StringEx();
        case INFO_MP3_CRC:
            return mpeg_ ? StringEx(YesNo(mpeg_->FirstHeader().CrcProtected())) : StringEx();
        case INFO_MP3_EMPHASIS:
            return mpeg_ ? StringEx(EmphasisText(mpeg_->FirstHeader().Emphasis())) : StringEx();
        case INFO_MP3_VERSION:
            return mpeg ? StringEx(FormatHostText(LYTEXT_MPEG_VERSION_SHORT,
                                                  {VersionNumber(mpeg->version()), mpeg->layer()}))
                        : StringEx();
        default:
            return StringEx();
    }
}

StringEx CTagLibParser::InformationReport() {
    if (fileType_ != FILE_TYPE_MP3) return StringEx();
    TagLib::AudioProperties* properties = file_.file()->audioProperties();
    TagLib::MPEG::Properties* mpeg = mpeg_ ? mpeg_->audioProperties() : nullptr;
    CGBuffer report;
    report.Append(
        FormatHostText(LYTEXT_FILE_SIZE, {static_cast<int>(file_.file()->length())}).c_str());
    if (mpeg_ && mpeg_->hasID3v2Tag()) {
        report.Append(
            FormatHostText(LYTEXT_ID3V2_SIZE, {static_cast<int>(mpeg_->ID3v2CompleteSize())})
                .c_str());
    }
    if (properties) {
        std::string length;
        GetUnitTime(&length, properties->lengthInSeconds());
        report.Append(FormatHostText(LYTEXT_LENGTH, {length}).c_str());
    }
    if (mpeg_)
        report.Append(
            FormatHostText(LYTEXT_CRC, {YesNo(mpeg_->FirstHeader().CrcProtected())}).c_str());
    if (mpeg) {
        report.Append(FormatHostText(LYTEXT_COPYRIGHTED, {YesNo(mpeg->isCopyrighted())}).c_str());
        report.Append(FormatHostText(LYTEXT_ORIGINAL, {YesNo(mpeg->isOriginal())}).c_str());
    }
    if (mpeg_)
        report.Append(
            FormatHostText(LYTEXT_EMPHASIS, {EmphasisText(mpeg_->FirstHeader().Emphasis())})
                .c_str());
    if (mpeg)
        report.Append(
            FormatHostText(LYTEXT_MPEG_VERSION, {VersionNumber(mpeg->version()), mpeg->layer()})
                .c_str());
    if (mpeg_) {
        int bitRate = properties ? properties->bitrate() : 0;
        const char* vbr = mpeg_->HasVbrHeader() ? "(VBR)" : "";
        report.Append(FormatHostText(LYTEXT_BIT_RATE, {bitRate, vbr, FrameCount(*mpeg_)}).c_str());
    }
    if (mpeg)
        report.Append(
            FormatHostText(LYTEXT_CHANNEL_MODE, {ChannelModeText(mpeg->channelMode())}).c_str());
    return StringEx(std::string(reinterpret_cast<const char*>(report.Data()),
                                static_cast<size_t>(report.Size())));
}

StringEx CTagLibParser::GetDescription(int kind, StringEx text, int preferSecond) {
    StringEx fileTitle = FileTitleOf(path_);
    DescriptionFieldReader field =
        PreferredFieldReader([this](int id) { return GetData(id); }, preferSecond);
    if (kind != DESCRIPTION_TEMPLATE) return ComposeDescription(kind, field, fileTitle);
    // Every occurrence of a token is filled here, the folder included; the
    // title has no file-title fallback.
    DescriptionTemplateValues values = TemplateFieldValues(field);
    values.path = fileTitle.GetNarrow();
    values.folder = PathFolder(path_.GetNarrow());
    int unfilled = 1;
    std::string filled =
        FillDescriptionTemplate(text.GetNarrow(), values, &unfilled, TemplateMatches::kEvery);
    return unfilled ? fileTitle : StringEx(filled);
}
