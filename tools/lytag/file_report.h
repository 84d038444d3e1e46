// Everything lytag shows of one file, read through the exports, and its two
// printed forms: text for a person, JSON for scripts.
#ifndef LYPARSER_TOOLS_LYTAG_FILE_REPORT_H
#define LYPARSER_TOOLS_LYTAG_FILE_REPORT_H

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tools/lytag/tag_items.h"

class IBaseTag;

using Fields = std::vector<std::pair<std::string, std::wstring>>;

struct FileReport {
    std::string file;
    int type = 0;
    Fields fields;                           // non-empty ones, by lytag's names
    Fields comments;                         // other named comments (Ogg)
    bool all = false;                        // items and pictures were read
    std::vector<ListedItem> items;           // every frame, comment, atom, item or attribute
    std::vector<ListedPicture> pictures;     // every picture
    std::vector<std::wstring> descriptions;  // kinds 0 to 9
    std::vector<std::pair<int, std::wstring>> info;  // non-empty kinds
    int start = 0;
    int end = 0;
    int length = 0;
    std::string md5;
};

// The description template lytag asks for as kind 5.
std::string DescriptionTemplate();

// Opens `path` and reads the report (with every item and picture when
// `all`). "" on success, else why the file is refused.
std::string ReadReport(const std::string& path, bool all, FileReport* report);
void PrintReport(const FileReport& report, std::ostream& out);
nlohmann::json ReportJson(const FileReport& report);

// The fields by lytag's names: what a player shows, then, in an MP3, what
// each tag holds and which tags the file has.
Fields ReadFields(IBaseTag* handle, int type);
// The fields as a JSON object, by the same names.
nlohmann::json FieldsJson(const Fields& fields);
// {"file": path}, and "file_bytes", the path's bytes in hexadecimal, when the
// path is not UTF-8 (JSON cannot hold it as it is).
nlohmann::json FileJson(const std::string& path);
// A JSON object as one line; text that is not UTF-8 is written as U+FFFD.
std::string JsonLine(const nlohmann::json& object);

#endif  // LYPARSER_TOOLS_LYTAG_FILE_REPORT_H
