#include "tools/lytag/file_report.h"

#include <strings.h>

#include "core/code_page.h"
#include "lyParser.h"
#include "tools/lytag/command_line.h"
#include "tools/lytag/field_names.h"
#include "tools/lytag/lytag.h"

namespace {

using Fields = std::vector<std::pair<std::string, std::wstring>>;

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
// itself.
std::vector<std::pair<std::string, std::wstring>> OtherComments(IBaseTag* handle) {
    std::vector<std::pair<std::string, std::wstring>> comments;
    std::string names = TagParserGetExData(handle, "");
    for (size_t at = 0, comma; (comma = names.find(',', at)) != std::string::npos; at = comma + 1) {
        std::string name = names.substr(at, comma - at);
        bool seen = name.empty();
        for (const auto& comment : comments)
            seen = seen || strcasecmp(comment.first.c_str(), name.c_str()) == 0;
        if (!seen)
            comments.emplace_back(name, CodePageToWide(TagParserGetExData(handle, name.c_str())));
    }
    return comments;
}

// The fields by lytag's names: what a player shows, then, in an MP3, what
// each tag holds and which tags the file has.
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

// The name scripts read a technical text by, for each file type and kind.
const char* InfoKey(int type, int kind) {
    struct Key {
        int type, kind;
        const char* name;
    };
    static const Key kKeys[] = {
        {FILE_TYPE_MP3, 1, "file_bytes"},          {FILE_TYPE_MP3, 2, "bitrate_kbps"},
        {FILE_TYPE_MP3, 3, "sample_rate_hz"},      {FILE_TYPE_MP3, 6, "vbr_header"},
        {FILE_TYPE_MP3, 7, "channel_mode"},        {FILE_TYPE_MP3, 10, "id3v2_bytes"},
        {FILE_TYPE_MP3, 11, "copyrighted"},        {FILE_TYPE_MP3, 12, "original"},
        {FILE_TYPE_MP3, 13, "crc_protected"},      {FILE_TYPE_MP3, 14, "emphasis"},
        {FILE_TYPE_MP3, 15, "mpeg_version_layer"}, {FILE_TYPE_OGG, 2, "sample_rate_hz"},
        {FILE_TYPE_OGG, 3, "bitrate_kbps"},        {FILE_TYPE_OGG, 7, "channel_mode"},
        {FILE_TYPE_WMA, 8, "encrypted"},           {FILE_TYPE_WMA, 9, "license_url"},
        {FILE_TYPE_OPUS, 2, "sample_rate_hz"},     {FILE_TYPE_OPUS, 3, "bitrate_kbps"},
        {FILE_TYPE_OPUS, 7, "channel_mode"},
    };
    if (kind == INFO_REPORT) return "report";
    if (kind == INFO_LENGTH_SECONDS) return "length_seconds";
    if (HoldsOneTag(type)) {
        if (kind == INFO_AUDIO_SAMPLE_RATE) return "sample_rate_hz";
        if (kind == INFO_AUDIO_BIT_RATE) return "bitrate_kbps";
        if (kind == INFO_AUDIO_CHANNELS) return "channel_mode";
    }
    for (const auto& key : kKeys) {
        if (key.type == type && key.kind == kind) return key.name;
    }
    return nullptr;
}

// A technical text as a JSON value: numbers as numbers, yes and no as booleans.
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

bool ReadReport(const std::string& path, FileReport* report) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return false;
    report->file = path;
    report->type = TagParserGetFileType(handle);
    report->fields = ReadFields(handle, report->type);
    report->comments = OtherComments(handle);
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
    return true;
}

void PrintReport(const FileReport& report, std::ostream& out) {
    out << report.file << '\n';
    out << "  type: " << report.type << " (" << FileTypeName(report.type) << ")\n";
    out << "  fields:" << (report.fields.empty() ? " none\n" : "\n");
    for (const auto& field : report.fields) {
        out << "    " << field.first << ": ";
        PrintIndented(out, Local(field.second), "      ");
    }
    if (!report.comments.empty()) out << "  other comments:\n";
    for (const auto& comment : report.comments) {
        out << "    " << comment.first << "=";
        PrintIndented(out, Local(comment.second), "      ");
    }
    out << "  descriptions:\n";
    for (size_t kind = 0; kind < report.descriptions.size(); ++kind) {
        out << "    " << kind << ": " << Local(report.descriptions[kind]) << '\n';
    }
    out << "  information:" << (report.info.empty() ? " none\n" : "\n");
    for (const auto& item : report.info) {
        out << "    " << item.first << ": ";
        PrintIndented(out, Local(item.second), "       ");
    }
    out << "  audio range: start " << report.start << ", end " << report.end << ", length "
        << report.length << '\n';
    out << "  md5: " << (report.md5.empty() ? "(none)" : report.md5) << '\n';
}

nlohmann::json ReportJson(const FileReport& report) {
    nlohmann::json fields = nlohmann::json::object();
    for (const auto& field : report.fields) fields[field.first] = ToUtf8(field.second);
    nlohmann::json comments = nlohmann::json::object();
    for (const auto& comment : report.comments) comments[comment.first] = ToUtf8(comment.second);
    nlohmann::json descriptions = nlohmann::json::array();
    for (const auto& text : report.descriptions) descriptions.push_back(ToUtf8(text));
    nlohmann::json info = nlohmann::json::object();
    for (const auto& item : report.info) {
        std::string text = ToUtf8(item.second);
        info[std::to_string(item.first)] = text;
        if (const char* key = InfoKey(report.type, item.first)) info[key] = InfoValue(text);
    }
    return {
        {"file", report.file},
        {"type", report.type},
        {"typeName", FileTypeName(report.type)},
        {"fields", fields},
        {"comments", comments},
        {"descriptions", descriptions},
        {"information", info},
        {"audioRange", {{"start", report.start}, {"end", report.end}, {"length", report.length}}},
        {"md5", report.md5}};
}
