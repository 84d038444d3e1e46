// lytag scan: walks folders and opens every file through the module on
// several threads, one output line per file and a summary at the end.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "lyParser.h"
#include "tools/lytag/command_line.h"
#include "tools/lytag/file_check.h"
#include "tools/lytag/lytag.h"
#include "tools/lytag/scan_walk.h"

namespace {

const CommandInfo kScanCommand = {
    "lytag scan [OPTIONS] FOLDER...",
    "Opens every file below the folders through the module on N threads and prints\n"
    "one line per file: path, type, description and length in seconds, separated by\n"
    "tabs (a tab, line feed, carriage return or backslash in a path or description\n"
    "is written as \\t, \\n, \\r or \\\\). A file reached through several of the\n"
    "folders is listed once. Every file that is not listed (refused by the module,\n"
    "not a regular file, unreadable) is named with the reason on stderr. A summary\n"
    "goes to stderr; on a terminal a progress bar shows files done, files per second\n"
    "and the time left. Ctrl-C stops with the summary so far.",
    {
        {"jobs", 'j', "N", "open files on N threads, 1 to 256 (default: one\nper core)"},
        {"json", 0, nullptr,
         "one JSON object per line instead; a file not listed\n"
         "gives {\"file\": ..., \"refused\": REASON}"},
        {"md5", 0, nullptr, "add the digest of each file's audio range"},
        {"quiet", 'q', nullptr, "no summary and no progress bar"},
    },
    "Exit status: 0 the scan completed (refused files are named, not errors); 1 a\n"
    "folder could not be read or stdout could not be written; 2 bad usage;\n"
    "130 interrupted.\n"};

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

struct ScanOptions {
    std::vector<std::string> folders;
    unsigned jobs = 0;
    bool json = false;
    bool md5 = false;
    bool quiet = false;
};

// Shared by the workers: the list, the next index, the output and the counts.
struct ScanState {
    std::vector<std::string> files;
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    std::mutex mutex;  // guards the output and the counts below
    std::map<std::string, size_t> perType;
    std::map<std::string, size_t> refused;  // reason -> count
};

// A path or description as one TSV field.
std::string Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case '\\':
                escaped += "\\\\";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// Names a file that is not listed; the caller holds the output lock.
void NameRefused(const std::string& path, const std::string& reason, const ScanOptions& options,
                 ScanState* state) {
    ++state->refused[reason];
    ReportFile(path, reason);
    if (options.json) {
        std::cout << nlohmann::json({{"file", path}, {"refused", reason}})
                         .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                  << '\n';
    }
}

void ScanOne(const std::string& path, const ScanOptions& options, ScanState* state) {
    IBaseTag* file = TagParserOpenFile(path.c_str());
    if (!file) {
        std::string reason = OpenRefusal(path);
        std::lock_guard<std::mutex> hold(state->mutex);
        NameRefused(path, reason, options, state);
        return;
    }
    int type = TagParserGetFileType(file);
    std::wstring description = TagParserGetDescriptionW(file, 0, "", 0);
    int seconds = std::atoi(TagParserGetFileInfo(file, 5).c_str());
    std::string digest;
    if (options.md5) {
        int start = 0, end = 0;
        TagParserGetSourceLength(file, &start, &end);
        digest = TagParserGetMD5(file, &start, &end);
    }
    TagParserCloseFile(file);

    std::string line;
    if (options.json) {
        nlohmann::json object = {{"file", path},
                                 {"type", type},
                                 {"typeName", FileTypeName(type)},
                                 {"description", ToUtf8(description)},
                                 {"seconds", seconds}};
        if (options.md5) object["md5"] = digest;
        line = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    } else {
        line = Escaped(path) + '\t' + FileTypeName(type) + '\t' + Escaped(LocaleText(description)) +
               '\t' + std::to_string(seconds) + (options.md5 ? '\t' + digest : std::string());
    }
    std::lock_guard<std::mutex> hold(state->mutex);
    std::cout << line << '\n';
    ++state->perType[FileTypeName(type)];
}

void Worker(const ScanOptions& options, ScanState* state) {
    for (;;) {
        if (g_interrupted) return;
        size_t index = state->next.fetch_add(1);
        if (index >= state->files.size()) return;
        ScanOne(state->files[index], options, state);
        ++state->done;
    }
}

// Redraws the progress bar on stderr until every file is done or the scan stops.
void ShowProgress(ScanState* state, const std::atomic<bool>* finished) {
    auto begin = std::chrono::steady_clock::now();
    const size_t total = state->files.size();
    while (!*finished) {
        size_t done = state->done;
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        double rate = seconds > 0 ? done / seconds : 0;
        int left = rate > 0 ? static_cast<int>((total - done) / rate) : 0;
        std::string bar(30, ' ');
        for (size_t i = 0; i < (total ? 30 * done / total : 30); ++i) bar[i] = '#';
        std::string clock;
        GetUnitTime(&clock, left);
        std::cerr << "\r[" << bar << "] " << done << "/" << total << " files  "
                  << static_cast<long>(rate) << " files/s  " << clock << " left " << std::flush;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::cerr << "\r\033[K" << std::flush;
}

void PrintSummary(const ScanState& state, size_t skipped) {
    size_t opened = 0;
    for (const auto& entry : state.perType) opened += entry.second;
    std::cerr << (g_interrupted ? "Interrupted after " : "Scanned ") << state.done << " of "
              << state.files.size() + skipped << " files: " << opened << " opened\n";
    for (const auto& entry : state.perType)
        std::cerr << "  " << entry.first << ": " << entry.second << '\n';
    for (const auto& entry : state.refused)
        std::cerr << "  refused, " << entry.first << ": " << entry.second << '\n';
}

int ParseScanOptions(const std::vector<std::string>& args, ScanOptions* options) {
    CommandLine line;
    if (int status = ParseCommandLine("scan", kScanCommand, args, &line); status >= 0)
        return status;
    options->folders = line.operands;
    options->json = line.Has("json");
    options->md5 = line.Has("md5");
    options->quiet = line.Has("quiet");
    long long jobs = std::max(1u, std::thread::hardware_concurrency());
    if (line.Has("jobs") && !ParseWholeNumber(line.Value("jobs"), 1, 256, &jobs)) {
        return UsageError("scan: --jobs takes a number from 1 to 256");
    }
    options->jobs = static_cast<unsigned>(jobs);
    if (options->folders.empty()) return UsageError("scan: no folder given");
    return -1;
}

// Each file once, however the folders overlap: the first path that reaches it.
void KeepFirstOfEach(std::vector<std::string>* files) {
    std::set<std::string> seen;
    std::vector<std::string> kept;
    for (auto& file : *files) {
        std::error_code error;
        std::string identity = std::filesystem::canonical(file, error).string();
        if (seen.insert(error ? file : identity).second) kept.push_back(std::move(file));
    }
    *files = std::move(kept);
}

}  // namespace

int ScanCommand(const std::vector<std::string>& args) {
    ScanOptions options;
    if (int status = ParseScanOptions(args, &options); status >= 0) return status;

    g_interrupted = false;
    auto previous = std::signal(SIGINT, OnInterrupt);
    ScanState state;
    std::vector<SkippedFile> skipped;
    bool foldersRead = true;
    for (const auto& folder : options.folders) {
        if (!CollectFiles(folder, &state.files, &skipped)) {
            ReportFile(folder, "not a readable folder");
            foldersRead = false;
        }
    }
    if (options.folders.size() > 1) KeepFirstOfEach(&state.files);  // one walk meets each file once
    std::set<std::string> named;
    for (const auto& entry : skipped) {
        if (named.insert(entry.path).second) NameRefused(entry.path, entry.reason, options, &state);
    }
    std::atomic<bool> finished{false};
    std::thread progress;
    if (!options.quiet && isatty(2)) progress = std::thread(ShowProgress, &state, &finished);
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < options.jobs; ++i)
        workers.emplace_back(Worker, std::cref(options), &state);
    for (auto& worker : workers) worker.join();
    finished = true;
    if (progress.joinable()) progress.join();
    std::signal(SIGINT, previous);
    std::cout << std::flush;
    if (!options.quiet) PrintSummary(state, named.size());
    if (g_interrupted) return 130;
    return foldersRead ? kExitOk : kExitFileFailed;
}
