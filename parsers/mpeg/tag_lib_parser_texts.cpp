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
        case 0:
            return InformationReport();
        case 1:
            return StringEx(IntText(static_cast<int>(file_.file()->length())));
        case 2:
            return properties ? StringEx(IntText(properties->bitrate())) : StringEx();
        case 3:
            return properties ? StringEx(IntText(properties->sampleRate())) : StringEx();
        case 5:
            return properties ? StringEx(IntText(properties->lengthInSeconds())) : StringEx();
        case 6:
            return mpeg_ ? StringEx(YesNo(mpeg_->HasVbrHeader())) : StringEx();
        case 7:
            return mpeg ? StringEx(ChannelModeText(mpeg->channelMode())) : StringEx();
        case 10:
            return mpeg_ && mpeg_->hasID3v2Tag()
                       ? StringEx(IntText(static_cast<int>(mpeg_->ID3v2CompleteSize())))
                       : StringEx();
        case 11:
            return mpeg ? StringEx(YesNo(mpeg->isCopyrighted())) : StringEx();
        case 12:
            return mpeg ? StringEx(YesNo(mpeg->isOriginal())) : StringEx();
        case 13:
            return mpeg_ ? StringEx(YesNo(mpeg_->FirstHeader().CrcProtected())) : StringEx();
        case 14:
            return mpeg_ ? StringEx(EmphasisText(mpeg_->FirstHeader().Emphasis())) : StringEx();
        case 15:
            return mpeg ? StringEx(
                              FormatHostText(9022, {VersionNumber(mpeg->version()), mpeg->layer()}))
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
    report.Append(FormatHostText(9008, {static_cast<int>(file_.file()->length())}).c_str());
    if (mpeg_ && mpeg_->hasID3v2Tag()) {
        report.Append(FormatHostText(9010, {static_cast<int>(mpeg_->ID3v2CompleteSize())}).c_str());
    }
    if (properties) {
        std::string length;
        GetUnitTime(&length, properties->lengthInSeconds());
        report.Append(FormatHostText(9014, {length}).c_str());
    }
    if (mpeg_)
        report.Append(FormatHostText(9006, {YesNo(mpeg_->FirstHeader().CrcProtected())}).c_str());
    if (mpeg) {
        report.Append(FormatHostText(9005, {YesNo(mpeg->isCopyrighted())}).c_str());
        report.Append(FormatHostText(9013, {YesNo(mpeg->isOriginal())}).c_str());
    }
    if (mpeg_)
        report.Append(
            FormatHostText(9007, {EmphasisText(mpeg_->FirstHeader().Emphasis())}).c_str());
    if (mpeg)
        report.Append(
            FormatHostText(9011, {VersionNumber(mpeg->version()), mpeg->layer()}).c_str());
    if (mpeg_) {
        int bitRate = properties ? properties->bitrate() : 0;
        const char* vbr = mpeg_->HasVbrHeader() ? "(VBR)" : "";
        report.Append(FormatHostText(9015, {bitRate, vbr, FrameCount(*mpeg_)}).c_str());
    }
    if (mpeg) report.Append(FormatHostText(9009, {ChannelModeText(mpeg->channelMode())}).c_str());
    return StringEx(std::string(reinterpret_cast<const char*>(report.Data()),
                                static_cast<size_t>(report.Size())));
}

StringEx CTagLibParser::GetDescription(int kind, StringEx text, int preferSecond) {
    StringEx fileTitle = FileTitleOf(path_);
    DescriptionFieldReader field =
        PreferredFieldReader([this](int id) { return GetData(id); }, preferSecond);
    if (kind != 5) return ComposeDescription(kind, field, fileTitle);
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
