// Everything lytag shows of one file, read through the exports, and its two
// printed forms: text for a person, JSON for scripts.
#ifndef LYPARSER_TOOLS_LYTAG_FILE_REPORT_H
#define LYPARSER_TOOLS_LYTAG_FILE_REPORT_H

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

struct FileReport {
    std::string file;
    int type = 0;
    std::vector<std::pair<std::string, std::wstring>> fields;    // non-empty ones, by lytag's names
    std::vector<std::pair<std::string, std::wstring>> comments;  // other named comments (Ogg)
    std::vector<std::wstring> descriptions;                      // kinds 0 to 9
    std::vector<std::pair<int, std::wstring>> info;              // non-empty kinds
    int start = 0;
    int end = 0;
    int length = 0;
    std::string md5;
};

// The description template lytag asks for as kind 5.
std::string DescriptionTemplate();

// Opens `path` and reads the report; false when the module refuses the file.
bool ReadReport(const std::string& path, FileReport* report);
void PrintReport(const FileReport& report, std::ostream& out);
nlohmann::json ReportJson(const FileReport& report);

#endif  // LYPARSER_TOOLS_LYTAG_FILE_REPORT_H
