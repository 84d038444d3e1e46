// lytag show and lytag md5.
#include <iostream>

#include "lyParser.h"
#include "tools/lytag/command_line.h"
#include "tools/lytag/file_check.h"
#include "tools/lytag/file_report.h"
#include "tools/lytag/lytag.h"

namespace {

constexpr long long kDigestLimit = 163840;  // the module digests at most 160 KiB

const CommandInfo kShowCommand = {
    "lytag show [--all] [--json] FILE...",
    "For each file: its type, the non-empty fields by name (in an MP3 also what each\n"
    "tag holds, as title:v1 and title:v2), the other comments (Ogg Vorbis, Opus), the\n"
    "ten description kinds, the non-empty technical texts by name, the audio range and\n"
    "the MD5 digest of that range. A file in which lyParser reads no tags says so.",
    {
        {"all", 'a', nullptr,
         "also every item the tag holds (each ID3v2 frame with\n"
         "its description and language, Vorbis comment, MP4 atom,\n"
         "APE item, WMA attribute) by the key set --item and\n"
         "--remove take, and every picture: type, MIME type,\n"
         "size, description"},
        {"json", 0, nullptr,
         "one JSON object per line instead; technical texts\n"
         "appear under their kind numbers and under names\n"
         "such as \"bitrate_kbps\""},
    },
    "Exit status: 0 every file was shown; 1 a file was refused (a file that is not\n"
    "audio, one an interrupted save left half written: see lytag repair) or stdout\n"
    "could not be written; 2 bad usage.\n"};

const CommandInfo kMd5Command = {
    "lytag md5 [--start N] [--count N | --end N] [--checksum] FILE",
    "Prints the MD5 digest the module computes for a byte range of FILE, as md5sum\n"
    "prints it. The module digests at most 163840 bytes beyond the start offset.",
    {
        {"start", 0, "N", "the range starts N bytes into the file (default 0)"},
        {"count", 0, "N",
         "digest exactly N bytes from the start (fewer where the\n"
         "file ends); N may be at most START+163840"},
        {"end", 0, "N",
         "hand N to the module as its end value, as a player does:\n"
         "with D = N - START, the module digests N bytes from the\n"
         "start when D <= 163840, else START+163840 bytes (163840\n"
         "with --checksum); a negative N stands for 163840.\n"
         "Without --count or --end: 163840 bytes from the start"},
        {"checksum", 0, nullptr, "use the checksum export, which caps the count at 163840"},
    },
    "Exit status: 0 printed; 1 the file was refused or no digest could be computed;\n"
    "2 bad usage.\n"};

}  // namespace

int ShowCommand(const std::vector<std::string>& args) {
    CommandLine line;
    if (int status = ParseCommandLine("show", kShowCommand, args, &line); status >= 0)
        return status;
    if (line.operands.empty()) return UsageError("show: no file given");
    const bool json = line.Has("json");
    int status = kExitOk;
    for (const auto& file : line.operands) {
        FileReport report;
        if (const std::string pending = PendingProblem(file); !pending.empty()) {
            ReportFile(file, pending);
            status = kExitFileFailed;
            continue;
        }
        if (const std::string problem = ReadReport(file, line.Has("all"), &report);
            !problem.empty()) {
            ReportFile(file, problem);
            status = kExitFileFailed;
            continue;
        }
        if (json) {
            std::cout << JsonLine(ReportJson(report)) << '\n';
        } else {
            PrintReport(report, std::cout);
        }
    }
    return status;
}

int Md5Command(const std::vector<std::string>& args) {
    CommandLine line;
    if (int status = ParseCommandLine("md5", kMd5Command, args, &line); status >= 0) return status;
    if (line.operands.size() != 1) return UsageError("md5: needs exactly one FILE");
    if (line.Has("count") && line.Has("end"))
        return UsageError("md5: --count and --end exclude each other");
    long long start = 0, end = -1, count = 0;
    if (!ParseWholeNumber(line.Value("start", "0"), 0, INT32_MAX, &start)) {
        return UsageError("md5: --start needs a whole number from 0");
    }
    if (line.Has("end") && !ParseWholeNumber(line.Value("end"), INT32_MIN, INT32_MAX, &end)) {
        return UsageError("md5: --end needs a whole number");
    }
    if (line.Has("count")) {
        if (!ParseWholeNumber(line.Value("count"), 0,
                              std::min<long long>(INT32_MAX, start + kDigestLimit), &count)) {
            return UsageError("md5: --count needs a whole number from 0 to " +
                              std::to_string(std::min<long long>(INT32_MAX, start + kDigestLimit)));
        }
        end = count;  // the module reads its end value as a count from the start
    }
    const std::string& file = line.operands[0];
    IBaseTag* handle = TagParserOpenFile(file.c_str());
    if (!handle) {
        ReportFile(file, OpenRefusal(file));
        return kExitFileFailed;
    }
    int from = static_cast<int>(start), to = static_cast<int>(end);
    std::string digest = line.Has("checksum") ? TagParserGetCheckSum(handle, &from, &to)
                                              : TagParserGetMD5(handle, &from, &to);
    TagParserCloseFile(handle);
    if (digest.empty()) {
        ReportFile(file, "no digest could be computed");
        return kExitFileFailed;
    }
    std::cout << digest << "  " << file << '\n';
    return kExitOk;
}
