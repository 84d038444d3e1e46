// CTagLibFileParser's texts: the technical values, the information report
// and the description kinds.
#include <taglib/audioproperties.h>

#include "core/description_text.h"
#include "core/host_text.h"
#include "core/path_text.h"
#include "lyCenter.h"
#include "parsers/shared/spliced_file_stream.h"
#include "parsers/shared/tag_lib_file_parser.h"

namespace {

// A report line in fixed English, for the values the player has no text for.
std::string Line(const char* label, const std::string& value) {
    return std::string(label) + ": " + value + "\n";
}

// The length in whole seconds. TagLib's lengthInSeconds() is not virtual and
// answers 0 for properties classes other than its own (MP4's here); length()
// is the seconds for every class.
int Seconds(const TagLib::AudioProperties* properties) { return properties->length(); }

}  // namespace

StringEx CTagLibFileParser::GetFileInfo(int kind) {
    if (!format_) return StringEx();
    const TagLib::AudioProperties* properties = format_->Properties();
    if (kind == INFO_REPORT) return InformationReport();
    if (!properties) return StringEx();
    switch (kind) {
        case INFO_AUDIO_SAMPLE_RATE:
            return StringEx(IntText(properties->sampleRate()));
        case INFO_AUDIO_BIT_RATE:
            return StringEx(IntText(properties->bitrate()));
        case INFO_LENGTH_SECONDS:
            return StringEx(IntText(Seconds(properties)));
        case INFO_AUDIO_CHANNELS:
            return StringEx(properties->channels() == 1 ? "MONO" : "STEREO");
        default:
            return StringEx();
    }
}

StringEx CTagLibFileParser::InformationReport() {
    const TagLib::AudioProperties* properties = format_->Properties();
    std::string report = Line("Format", format_->CodecName());
    report += FormatHostText(LYTEXT_FILE_SIZE, {static_cast<int>(stream_->length())});
    if (properties) {
        std::string length;
        GetUnitTime(&length, Seconds(properties));
        report += FormatHostText(LYTEXT_LENGTH, {length});
        report += Line("Bit rate", IntText(properties->bitrate()) + " kbit/s");
        report += Line("Sample rate", IntText(properties->sampleRate()) + " Hz");
        report += Line("Channels", IntText(properties->channels()));
    }
    if (const int bits = format_->BitsPerSample()) report += Line("Bits per sample", IntText(bits));
    return StringEx(report);
}

StringEx CTagLibFileParser::GetDescription(int kind, StringEx text, int preferSecond) {
    StringEx fileTitle = FileTitleOf(path_);
    DescriptionFieldReader field =
        PreferredFieldReader([this](int id) { return GetData(id); }, preferSecond);
    if (kind != DESCRIPTION_TEMPLATE) return ComposeDescription(kind, field, fileTitle);
    // As for MP3: every occurrence of a token is filled, the folder included;
    // the title has no file-title fallback.
    DescriptionTemplateValues values = TemplateFieldValues(field);
    values.path = fileTitle.GetNarrow();
    values.folder = PathFolder(path_.GetNarrow());
    int unfilled = 1;
    std::string filled =
        FillDescriptionTemplate(text.GetNarrow(), values, &unfilled, TemplateMatches::kEvery);
    return unfilled ? fileTitle : StringEx(filled);
}
