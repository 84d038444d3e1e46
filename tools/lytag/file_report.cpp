#include "tools/lytag/file_report.h"

#include <strings.h>

#include "core/code_page.h"
#include "lyParser.h"
#include "tools/lytag/command_line.h"
#include "tools/lytag/field_names.h"
#include "tools/lytag/file_check.h"
#include "tools/lytag/lytag.h"

namespace {

constexpr int kInfoKinds = 16;
constexpr int kDescriptionKinds = 10;

std::string HostText(unsigned id) {
    std::string text;
    GetResourceString(&text, GetCenterInstance(), id);
    return text;
}

std::string Local(const std::wstring& text) { return WideToCodePage(text); }

// Prints a possibly multi-line text with every line after the first indented.
void PrintIndented(std::ostream& out, const std::string& text, const std::string& indent) {
    std::string rest = text;
    while (!rest.empty() && rest.back() == '\n') rest.pop_back();
    size_t newline;
    while ((newline = rest.find('\n')) != std::string::npos) {
        out << rest.substr(0, newline) << '\n' << indent;
        rest.erase(0, newline + 1);
    }
    out << rest << '\n';
}

// The comments a parser keeps besides its fields, each name once (in any
// letter case) with the value the module gives for it: every value of that
// name, joined. The module lists the names, each followed by a comma; a
// comment without a name is left out, as the empty key asks for the list
// itself, and so are the comments that hold pictures.
std::vector<std::pair<std::string, std::wstring>> OtherComments(IBaseTag* handle, int type) {
    std::vector<std::pair<std::string, std::wstring>> comments;
    std::string names = TagParserGetExData(handle, "");
    for (size_t at = 0, comma; (comma = names.find(',', at)) != std::string::npos; at = comma + 1) {
        std::string name = names.substr(at, comma - at);
        bool seen = name.empty() || IsPictureComment(type, name);
        for (const auto& comment : comments)
            seen = seen || strcasecmp(comment.first.c_str(), name.c_str()) == 0;
        if (!seen)
            comments.emplace_back(name, CodePageToWide(TagParserGetExData(handle, name.c_str())));
    }
    return comments;
}

}  // namespace

Fields ReadFields(IBaseTag* handle, int type) {
    Fields shown, tags;
    for (const auto& info : AllFields()) {
        std::wstring value = ReadField(handle, type, {&info, TagChoice::kShown});
        if (type == FILE_TYPE_MP3 && info.id3v1 >= 0) {
            for (TagChoice tag : {TagChoice::kId3v1, TagChoice::kId3v2}) {
                std::wstring one = ReadField(handle, type, {&info, tag});
                if (!one.empty())
                    tags.emplace_back(
                        info.name + std::string(tag == TagChoice::kId3v1 ? ":v1" : ":v2"), one);
            }
        }
        if (!value.empty()) shown.emplace_back(info.name, value);
    }
    shown.insert(shown.end(), tags.begin(), tags.end());
    if (type == FILE_TYPE_MP3) {
        shown.emplace_back("has-id3v1", TagParserGetDataW(handle, FIELD_HAS_ID3V1));
        shown.emplace_back("has-id3v2", TagParserGetDataW(handle, FIELD_HAS_ID3V2));
    }
    return shown;
}

namespace {

// A technical text's names: the key scripts read it by, and the label and
// unit a person reads it with.
struct InfoName {
    int type;  // -1: every type
    int kind;
    const char* key;
    const char* label;
    const char* unit;
};

constexpr int kOneTag = -2;  // the formats whose one tag answers every field

const InfoName kInfoNames[] = {
    {-1, INFO_REPORT, "report", "report", ""},
    {-1, INFO_LENGTH_SECONDS, "length_seconds", "length", "s"},
    {FILE_TYPE_MP3, INFO_MP3_FILE_SIZE, "file_bytes", "file size", "bytes"},
    {FILE_TYPE_MP3, INFO_MP3_BIT_RATE, "bitrate_kbps", "bit rate", "kbit/s"},
    {FILE_TYPE_MP3, INFO_MP3_SAMPLE_RATE, "sample_rate_hz", "sample rate", "Hz"},
    {FILE_TYPE_MP3, INFO_MP3_VBR_HEADER, "vbr_header", "VBR header", ""},
    {FILE_TYPE_MP3, INFO_MP3_CHANNEL_MODE, "channel_mode", "channel mode", ""},
    {FILE_TYPE_MP3, INFO_MP3_ID3V2_SIZE, "id3v2_bytes", "ID3v2 tag size", "bytes"},
    {FILE_TYPE_MP3, INFO_MP3_COPYRIGHTED, "copyrighted", "copyrighted", ""},
    {FILE_TYPE_MP3, INFO_MP3_ORIGINAL, "original", "original", ""},
    {FILE_TYPE_MP3, INFO_MP3_CRC, "crc_protected", "CRC protected", ""},
    {FILE_TYPE_MP3, INFO_MP3_EMPHASIS, "emphasis", "emphasis", ""},
    {FILE_TYPE_MP3, INFO_MP3_VERSION, "mpeg_version_layer", "version", ""},
    {FILE_TYPE_OGG, INFO_OGG_SAMPLE_RATE, "sample_rate_hz", "sample rate", "Hz"},
    {FILE_TYPE_OGG, INFO_OGG_NOMINAL_BIT_RATE, "bitrate_kbps", "nominal bit rate", "kbit/s"},
    {FILE_TYPE_OGG, INFO_OGG_CHANNELS, "channel_mode", "channels", ""},
    {FILE_TYPE_WMA, INFO_WMA_PROTECTION, "encrypted", "protection", ""},
    {FILE_TYPE_WMA, INFO_WMA_LICENSE_URL, "license_url", "licence URL", ""},
    {FILE_TYPE_OPUS, INFO_AUDIO_SAMPLE_RATE, "sample_rate_hz", "sample rate", "Hz"},
    {FILE_TYPE_OPUS, INFO_AUDIO_BIT_RATE, "bitrate_kbps", "bit rate", "kbit/s"},
    {FILE_TYPE_OPUS, INFO_AUDIO_CHANNELS, "channel_mode", "channels", ""},
    {kOneTag, INFO_AUDIO_SAMPLE_RATE, "sample_rate_hz", "sample rate", "Hz"},
    {kOneTag, INFO_AUDIO_BIT_RATE, "bitrate_kbps", "bit rate", "kbit/s"},
    {kOneTag, INFO_AUDIO_CHANNELS, "channel_mode", "channels", ""},
};

const InfoName* FindInfoName(int type, int kind) {
    for (const auto& name : kInfoNames) {
        const bool types =
            name.type == -1 || name.type == type || (name.type == kOneTag && HoldsOneTag(type));
        if (types && name.kind == kind) return &name;
    }
    return nullptr;
}

// A technical text as a JSON value: numbers as numbers, yes and no as booleans.
// True when `text` is valid UTF-8: decoding turns no byte into U+FFFD.
bool IsUtf8(const std::string& text) { return ToUtf8(FromUtf8(text)) == text; }

std::string PictureLabel(const ListedPicture& picture) {
    return picture.type < 0 ? std::string("(no type)")
                            : std::string(PictureTypeName(picture.type)) + " (" +
                                  std::to_string(picture.type) + ")";
}

void PrintItems(const FileReport& report, std::ostream& out) {
    out << "  items:" << (report.items.empty() ? " none\n" : "\n");
    for (const auto& item : report.items) {
        out << "    " << item.key << ": ";
        if (item.binary) {
            out << "(" << item.bytes << " bytes of data)\n";
        } else {
            PrintIndented(out, Local(item.text), "      ");
        }
    }
    if (!TraitsOf(report.type).pictures) return;  // none that lyParser reads
    out << "  pictures:" << (report.pictures.empty() ? " none\n" : "\n");
    for (const auto& picture : report.pictures) {
        out << "    " << PictureLabel(picture) << ": " << picture.mimeType << ", " << picture.bytes
            << " bytes";
        if (!picture.description.empty()) out << ", \"" << Local(picture.description) << '"';
        out << '\n';
    }
}

nlohmann::json ItemsJson(const std::vector<ListedItem>& items) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& item : items) {
        nlohmann::json object = {{"key", ToUtf8(FromLocale(item.key))}};
        if (item.binary) {
            object["bytes"] = item.bytes;
        } else {
            object["text"] = ToUtf8(item.text);
        }
        list.push_back(object);
    }
    return list;
}

nlohmann::json PicturesJson(const std::vector<ListedPicture>& pictures) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& picture : pictures) {
        nlohmann::json object = {{"type", nullptr},
                                 {"typeName", nullptr},
                                 {"mimeType", picture.mimeType},
                                 {"bytes", picture.bytes},
                                 {"description", ToUtf8(picture.description)}};
        if (picture.type >= 0) {
            object["type"] = picture.type;
            object["typeName"] = PictureTypeName(picture.type);
        }
        list.push_back(object);
    }
    return list;
}

nlohmann::json InfoValue(const std::string& text) {
    long long number = 0;
    if (ParseWholeNumber(text, INT64_MIN, INT64_MAX, &number)) return number;
    if (text == "YES" || text == "Encrypted") return true;
    if (text == "NO" || text == "Not Encrypted") return false;
    return text;
}

}  // namespace

std::string DescriptionTemplate() {
    return HostText(LYTEXT_TOKEN_ARTIST) + " - " + HostText(LYTEXT_TOKEN_TITLE);
}

std::string ReadReport(const std::string& path, bool all, FileReport* report) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return OpenRefusal(path);
    if (std::string problem = NoAudioProblem(handle, path); !problem.empty()) {
        TagParserCloseFile(handle);
        return problem;
    }
    report->file = path;
    report->type = TagParserGetFileType(handle);
    report->fields = ReadFields(handle, report->type);
    report->all = all;
    if (all) {
        report->items = ListItems(handle, report->type);
        report->pictures = ListPictures(handle, report->type);
    } else {
        report->comments = OtherComments(handle, report->type);
    }
    std::string pattern = DescriptionTemplate();
    for (int kind = 0; kind < kDescriptionKinds; ++kind) {
        report->descriptions.push_back(TagParserGetDescriptionW(handle, kind, pattern.c_str(), 1));
    }
    // The range first: an MP3's frame facts (CRC, frame count) come from its search.
    report->length = TagParserGetSourceLength(handle, &report->start, &report->end);
    for (int kind = 0; kind < kInfoKinds; ++kind) {
        std::string text = TagParserGetFileInfo(handle, kind);
        if (!text.empty()) report->info.emplace_back(kind, CodePageToWide(text));
    }
    int start = report->start;
    int end = report->end;
    report->md5 = TagParserGetMD5(handle, &start, &end);
    TagParserCloseFile(handle);
    return std::string();
}

namespace {

// The audio range in the same words for every format. Ogg, Opus and the
// formats over TagLib report a byte count where the others report an end
// (an MP3's may lie past the file's end: it is what the player digests to).
void PrintAudioRange(const FileReport& report, std::ostream& out) {
    long long end = report.end, bytes = end - report.start;
    switch (report.type) {
        case FILE_TYPE_OGG:
        case FILE_TYPE_OPUS:
        case FILE_TYPE_FLAC:
        case FILE_TYPE_MUSEPACK:
        case FILE_TYPE_MP4:
        case FILE_TYPE_WAV:
        case FILE_TYPE_AIFF:
        case FILE_TYPE_WAVPACK:
            bytes = report.end;
            end = report.start + bytes;
            break;
        default:
            break;
    }
    out << "  audio range: start " << report.start << ", end " << end << ", " << bytes
        << (bytes == 1 ? " byte\n" : " bytes\n");
}

}  // namespace

void PrintReport(const FileReport& report, std::ostream& out) {
    out << report.file << '\n';
    out << "  type: " << report.type << " (" << FileTypeName(report.type) << ")\n";
    if (report.type == FILE_TYPE_UNKNOWN) {
        out << "  fields: no tags lyParser reads in this kind of file\n";
    } else {
        out << "  fields:" << (report.fields.empty() ? " none\n" : "\n");
    }
    for (const auto& field : report.fields) {
        out << "    " << field.first << ": ";
        PrintIndented(out, Local(field.second), "      ");
    }
    if (!report.comments.empty()) out << "  other comments:\n";
    for (const auto& comment : report.comments) {
        out << "    " << comment.first << "=";
        PrintIndented(out, Local(comment.second), "      ");
    }
    if (report.all) PrintItems(report, out);
    out << "  descriptions:\n";
    for (size_t kind = 0; kind < report.descriptions.size(); ++kind) {
        out << "    " << kind << ": " << Local(report.descriptions[kind]) << '\n';
    }
    out << "  information:" << (report.info.empty() ? " none\n" : "\n");
    for (const auto& item : report.info) {
        if (item.first == INFO_REPORT) continue;
        const InfoName* name = FindInfoName(report.type, item.first);
        out << "    " << (name ? name->label : "kind " + std::to_string(item.first)) << ": ";
        const std::string unit = name && *name->unit ? std::string(" ") + name->unit : "";
        PrintIndented(out, Local(item.second) + unit, "      ");
    }
    for (const auto& item : report.info) {
        if (item.first != INFO_REPORT) continue;
        out << "    report:\n      ";
        PrintIndented(out, Local(item.second), "      ");
    }
    PrintAudioRange(report, out);
    out << "  md5: " << (report.md5.empty() ? "(none)" : report.md5) << '\n';
}

nlohmann::json FieldsJson(const Fields& fields) {
    nlohmann::json object = nlohmann::json::object();
    for (const auto& field : fields) object[field.first] = ToUtf8(field.second);
    return object;
}

nlohmann::json FileJson(const std::string& path) {
    nlohmann::json object = {{"file", path}};
    if (!IsUtf8(path)) {
        static const char kHex[] = "0123456789abcdef";
        std::string hex;
        for (unsigned char c : path) hex += std::string{kHex[c >> 4], kHex[c & 15]};
        object["file_bytes"] = hex;
    }
    return object;
}

std::string JsonLine(const nlohmann::json& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json ReportJson(const FileReport& report) {
    nlohmann::json comments = nlohmann::json::object();
    for (const auto& comment : report.comments) comments[comment.first] = ToUtf8(comment.second);
    nlohmann::json descriptions = nlohmann::json::array();
    for (const auto& text : report.descriptions) descriptions.push_back(ToUtf8(text));
    nlohmann::json info = nlohmann::json::object();
    for (const auto& item : report.info) {
        std::string text = ToUtf8(item.second);
        info[std::to_string(item.first)] = text;
        if (const InfoName* name = FindInfoName(report.type, item.first))
            info[name->key] = InfoValue(text);
    }
    nlohmann::json object = FileJson(report.file);
    object.update(
        {{"type", report.type},
         {"typeName", FileTypeName(report.type)},
         {"fields", FieldsJson(report.fields)},
         {"comments", comments},
         {"descriptions", descriptions},
         {"information", info},
         {"audioRange", {{"start", report.start}, {"end", report.end}, {"length", report.length}}},
         {"md5", report.md5}});
    if (report.all) {
        object["items"] = ItemsJson(report.items);
        object["pictures"] = PicturesJson(report.pictures);
    }
    return object;
}
