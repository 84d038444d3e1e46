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
#include <thread>

#include "lyParser.h"
#include "tools/lytag/lytag.h"
#include "tools/lytag/scan_walk.h"

namespace {

const char kScanUsage[] =
    "Usage: lytag scan FOLDER... [--jobs N] [--json] [--md5]\n"
    "\n"
    "Opens every file below the folders through the module on N threads\n"
    "(default: one per core) and prints one line per file: path, type, description\n"
    "and length in seconds, tab-separated (--json: one JSON object per line);\n"
    "--md5 adds the digest of the audio range. Files that are not regular or\n"
    "readable are skipped. A summary goes to stderr; on a terminal a progress\n"
    "bar shows files done, files per second and the time left. Ctrl-C stops\n"
    "with the summary so far.\n"
    "\n"
    "Exit status: 0 the scan completed (refused files are counted, not errors);\n"
    "1 a folder could not be read; 2 bad usage; 130 interrupted.\n";

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

struct ScanOptions {
    std::vector<std::string> folders;
    unsigned jobs = 0;
    bool json = false;
    bool md5 = false;
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

void ScanOne(const std::string& path, const ScanOptions& options, ScanState* state) {
    IBaseTag* file = TagParserOpenFile(path.c_str());
    if (!file) {
        std::lock_guard<std::mutex> hold(state->mutex);
        ++state->refused["not a readable file of a known kind"];
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
        line = path + '\t' + FileTypeName(type) + '\t' + LocaleText(description) + '\t' +
               std::to_string(seconds) + (options.md5 ? '\t' + digest : std::string());
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
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
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

void PrintSummary(const ScanState& state, const std::vector<SkippedFile>& skipped) {
    std::map<std::string, size_t> refused = state.refused;
    for (const auto& entry : skipped) ++refused[entry.reason];
    size_t opened = 0;
    for (const auto& entry : state.perType) opened += entry.second;
    std::cerr << (g_interrupted ? "Interrupted after " : "Scanned ") << state.done << " of "
              << state.files.size() + skipped.size() << " files: " << opened << " opened\n";
    for (const auto& entry : state.perType) std::cerr << "  " << entry.first << ": " << entry.second << '\n';
    for (const auto& entry : refused) std::cerr << "  refused, " << entry.first << ": " << entry.second << '\n';
    for (const auto& entry : skipped) std::cerr << "  skipped " << entry.path << ": " << entry.reason << '\n';
}

bool ParseScanOptions(const std::vector<std::string>& args, ScanOptions* options, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            options->json = true;
        } else if (args[i] == "--md5") {
            options->md5 = true;
        } else if (args[i] == "--jobs") {
            int jobs = i + 1 < args.size() ? std::atoi(args[++i].c_str()) : 0;
            if (jobs < 1 || jobs > 256) return *error = "scan: --jobs takes a number from 1 to 256", false;
            options->jobs = static_cast<unsigned>(jobs);
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return *error = "scan: unknown option '" + args[i] + "'", false;
        } else {
            options->folders.push_back(args[i]);
        }
    }
    if (options->folders.empty()) return *error = "scan: no folder given", false;
    if (options->jobs == 0) options->jobs = std::max(1u, std::thread::hardware_concurrency());
    return true;
}

}  // namespace

int ScanCommand(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << kScanUsage;
        return kExitOk;
    }
    ScanOptions options;
    std::string error;
    if (!ParseScanOptions(args, &options, &error)) return UsageError(error);

    g_interrupted = false;
    auto previous = std::signal(SIGINT, OnInterrupt);
    ScanState state;
    std::vector<SkippedFile> skipped;
    bool foldersRead = true;
    for (const auto& folder : options.folders) {
        if (!CollectFiles(folder, &state.files, &skipped)) {
            std::cerr << "lytag: " << folder << ": not a readable folder\n";
            foldersRead = false;
        }
    }
    std::atomic<bool> finished{false};
    std::thread progress;
    if (isatty(2)) progress = std::thread(ShowProgress, &state, &finished);
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < options.jobs; ++i) workers.emplace_back(Worker, std::cref(options), &state);
    for (auto& worker : workers) worker.join();
    finished = true;
    if (progress.joinable()) progress.join();
    std::signal(SIGINT, previous);
    std::cout << std::flush;
    PrintSummary(state, skipped);
    if (g_interrupted) return 130;
    return foldersRead ? kExitOk : kExitFileFailed;
}
