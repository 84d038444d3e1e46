#include "tools/lytag/file_report.h"

#include "core/code_page.h"
#include "lyParser.h"
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

// The comments a parser keeps besides its fields, each name once with the
// value the module gives for it (the first of that name). The module lists
// the names, each followed by a comma; a comment without a name is left out,
// as the empty key asks for the list itself.
std::vector<std::pair<std::string, std::wstring>> OtherComments(IBaseTag* handle) {
    std::vector<std::pair<std::string, std::wstring>> comments;
    std::string names = TagParserGetExData(handle, "");
    for (size_t at = 0, comma; (comma = names.find(',', at)) != std::string::npos; at = comma + 1) {
        std::string name = names.substr(at, comma - at);
        bool seen = name.empty();
        for (const auto& comment : comments) seen = seen || comment.first == name;
        if (!seen) comments.emplace_back(name, CodePageToWide(TagParserGetExData(handle, name.c_str())));
    }
    return comments;
}

}  // namespace

std::string DescriptionTemplate() { return HostText(9002) + " - " + HostText(9019); }

bool ReadReport(const std::string& path, FileReport* report) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return false;
    report->file = path;
    report->type = TagParserGetFileType(handle);
    for (const auto& field : FieldNames()) {
        std::wstring value = TagParserGetDataW(handle, field.id);
        if (!value.empty()) report->fields.emplace_back(field.name, value);
    }
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
    for (const auto& item : report.info) info[std::to_string(item.first)] = ToUtf8(item.second);
    return {{"file", report.file},
            {"type", report.type},
            {"typeName", FileTypeName(report.type)},
            {"fields", fields},
            {"comments", comments},
            {"descriptions", descriptions},
            {"information", info},
            {"audioRange", {{"start", report.start}, {"end", report.end}, {"length", report.length}}},
            {"md5", report.md5}};
}
