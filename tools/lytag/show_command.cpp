// lytag show and lytag md5.
#include <iostream>

#include "lyParser.h"
#include "tools/lytag/file_report.h"
#include "tools/lytag/lytag.h"

namespace {

const char kShowUsage[] =
    "Usage: lytag show [--json] FILE...\n"
    "\n"
    "For each file: its type, the non-empty fields by name, the other comments\n"
    "(Ogg Vorbis), the ten description kinds, the non-empty technical texts, the\n"
    "audio range and the MD5 digest of that range. --json prints one JSON object\n"
    "per line instead.\n";

const char kMd5Usage[] =
    "Usage: lytag md5 FILE [--start N] [--end N] [--checksum]\n"
    "\n"
    "Prints the MD5 digest the module computes for the range: up to 160 KiB\n"
    "from --start (default 0); --end defaults to the longest range. --checksum\n"
    "asks for the checksum variant, which digests at most 163840 bytes.\n";

bool ParseInt(const std::string& text, int* value) {
    try {
        size_t used = 0;
        long parsed = std::stol(text, &used);
        if (used != text.size() || parsed < INT32_MIN || parsed > INT32_MAX) return false;
        *value = static_cast<int>(parsed);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

int ShowCommand(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << kShowUsage;
        return kExitOk;
    }
    bool json = false;
    std::vector<std::string> files;
    for (const auto& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("show: unknown option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) return UsageError("show: no file given");
    int status = kExitOk;
    for (const auto& file : files) {
        FileReport report;
        if (!ReadReport(file, &report)) {
            ReportRefused(file);
            status = kExitFileFailed;
            continue;
        }
        if (json) {
            std::cout << ReportJson(report).dump(-1, ' ', false,
                                                 nlohmann::json::error_handler_t::replace)
                      << '\n';
        } else {
            PrintReport(report, std::cout);
        }
    }
    return status;
}

int Md5Command(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << kMd5Usage;
        return kExitOk;
    }
    std::string file;
    int start = 0;
    int end = -1;
    bool checksum = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--checksum") {
            checksum = true;
        } else if (arg == "--start" || arg == "--end") {
            if (i + 1 >= args.size() || !ParseInt(args[i + 1], arg == "--start" ? &start : &end)) {
                return UsageError("md5: " + arg + " needs a whole number");
            }
            ++i;
        } else if ((arg.size() > 1 && arg[0] == '-') || !file.empty()) {
            return UsageError("md5: unexpected argument '" + arg + "'");
        } else {
            file = arg;
        }
    }
    if (file.empty()) return UsageError("md5: no file given");
    IBaseTag* handle = TagParserOpenFile(file.c_str());
    if (!handle) {
        ReportRefused(file);
        return kExitFileFailed;
    }
    std::string digest = checksum ? TagParserGetCheckSum(handle, &start, &end)
                                  : TagParserGetMD5(handle, &start, &end);
    TagParserCloseFile(handle);
    if (digest.empty()) {
        std::cerr << "lytag: " << file << ": no digest could be computed\n";
        return kExitFileFailed;
    }
    std::cout << digest << "  " << file << '\n';
    return kExitOk;
}
