// lytag scan: walks folders and opens every file through the module on
// several threads, one output line per file and a summary at the end.
#include <unistd.h>

#include <algorithm>
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
#include "tools/lytag/file_report.h"
#include "tools/lytag/lytag.h"
#include "tools/lytag/scan_walk.h"

namespace {

const CommandInfo kScanCommand = {
    "lytag scan [OPTIONS] FOLDER...",
    "Opens every file below the folders through the module on N threads and prints\n"
    "one line per file, in the order of the paths' bytes: path, type, description\n"
    "and length in seconds, separated by tabs (a tab, line feed, carriage return or\n"
    "backslash in a path or description is written as \\t, \\n, \\r or \\\\). A file\n"
    "reached through several of the folders is listed once. Every file that is not\n"
    "listed (not audio, not a regular file, unreadable) is named with the reason on\n"
    "stderr. A summary goes to stderr, files in which lyParser reads no tags counted\n"
    "apart; on a terminal a progress bar shows files done, files per second and the\n"
    "time left. Ctrl-C stops with the summary so far.",
    {
        {"jobs", 'j', "N", "open files on N threads, 1 to 256 (default: one\nper core)"},
        {"json", 0, nullptr,
         "one JSON object per line instead, with the fields by the\n"
         "names show --json gives them; a file not listed gives\n"
         "{\"file\": ..., \"refused\": REASON}"},
        {"md5", 0, nullptr, "add the digest of each file's audio range"},
        {"quiet", 'q', nullptr, "no summary and no progress bar"},
    },
    "Exit status: 0 the scan completed (files that are not audio are named, not\n"
    "errors); 1 a folder or file could not be read, or stdout could not be written;\n"
    "2 bad usage; 130 interrupted.\n"};

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

struct ScanOptions {
    std::vector<std::string> folders;
    unsigned jobs = 0;
    bool json = false;
    bool md5 = false;
    bool quiet = false;
};

// One line of the output: a file to open, or an entry skipped while walking.
struct ScanEntry {
    std::string path;
    bool open = true;
    std::string reason;  // a skipped entry's
    bool error = false;  // a skipped entry could not be read
};

// Shared by the workers: the entries in output order, the next to open, the
// lines waiting for the ones before them, and the counts.
struct ScanState {
    std::vector<ScanEntry> entries;
    std::vector<size_t> toOpen;  // indexes of the entries to open
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    std::mutex mutex;                // guards what follows
    std::vector<std::string> lines;  // per entry: its stdout line, once known
    std::vector<bool> ready;
    size_t printed = 0;  // entries printed so far
    std::map<std::string, size_t> perType;
    std::map<std::string, size_t> refused;  // reason -> count
    bool readErrors = false;
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

// Prints the entries whose lines are known, in order, up to the first that
// is not; the caller holds the lock.
void PrintReady(ScanState* state) {
    while (state->printed < state->entries.size() && state->ready[state->printed]) {
        const std::string& line = state->lines[state->printed];
        if (!line.empty()) std::cout << line << '\n';
        ++state->printed;
    }
}

// Records that the entry at `index` is not listed; the caller holds the lock.
void NameRefused(size_t index, const std::string& reason, const ScanOptions& options,
                 ScanState* state) {
    const std::string& path = state->entries[index].path;
    ++state->refused[reason];
    ReportFile(path, reason);
    if (options.json) {
        nlohmann::json object = FileJson(path);
        object["refused"] = reason;
        state->lines[index] = JsonLine(object);
    }
    state->ready[index] = true;
}

std::string TypeCount(int type) {
    return type == FILE_TYPE_UNKNOWN ? "other files (no tags lyParser reads)" : FileTypeName(type);
}

void ScanOne(size_t index, const ScanOptions& options, ScanState* state) {
    const std::string& path = state->entries[index].path;
    IBaseTag* file = TagParserOpenFile(path.c_str());
    std::string refusal = file ? NoAudioProblem(file, path) : OpenRefusal(path);
    if (!refusal.empty()) {
        if (file) TagParserCloseFile(file);
        std::lock_guard<std::mutex> hold(state->mutex);
        state->readErrors = state->readErrors || refusal.rfind(kNotAudio, 0) != 0;
        NameRefused(index, refusal, options, state);
        PrintReady(state);
        return;
    }
    int type = TagParserGetFileType(file);
    std::wstring description = TagParserGetDescriptionW(file, 0, "", 0);
    int seconds = std::atoi(TagParserGetFileInfo(file, INFO_LENGTH_SECONDS).c_str());
    std::string digest;
    if (options.md5) {
        int start = 0, end = 0;
        TagParserGetSourceLength(file, &start, &end);
        digest = TagParserGetMD5(file, &start, &end);
    }
    const Fields fields = options.json ? ReadFields(file, type) : Fields();
    TagParserCloseFile(file);

    std::string line;
    if (options.json) {
        nlohmann::json object = FileJson(path);
        object.update({{"type", type},
                       {"typeName", FileTypeName(type)},
                       {"description", ToUtf8(description)},
                       {"seconds", seconds},
                       {"fields", FieldsJson(fields)}});
        if (options.md5) object["md5"] = digest;
        line = JsonLine(object);
    } else {
        line = Escaped(path) + '\t' + FileTypeName(type) + '\t' + Escaped(LocaleText(description)) +
               '\t' + std::to_string(seconds) + (options.md5 ? '\t' + digest : std::string());
    }
    std::lock_guard<std::mutex> hold(state->mutex);
    state->lines[index] = line;
    state->ready[index] = true;
    ++state->perType[TypeCount(type)];
    PrintReady(state);
}

void Worker(const ScanOptions& options, ScanState* state) {
    for (;;) {
        if (g_interrupted) return;
        size_t index = state->next.fetch_add(1);
        if (index >= state->toOpen.size()) return;
        ScanOne(state->toOpen[index], options, state);
        ++state->done;
    }
}

// Redraws the progress bar on stderr until every file is done or the scan stops.
void ShowProgress(ScanState* state, const std::atomic<bool>* finished) {
    auto begin = std::chrono::steady_clock::now();
    const size_t total = state->toOpen.size();
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

void PrintSummary(const ScanState& state) {
    size_t opened = 0, skipped = state.entries.size() - state.toOpen.size();
    for (const auto& entry : state.perType) opened += entry.second;
    std::cerr << (g_interrupted ? "Interrupted after " : "Scanned ") << state.done + skipped
              << " of " << state.entries.size() << " files: " << opened << " opened\n";
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

// The entries of the scan in the order of their paths' bytes: each file
// once, however the folders overlap, and each skipped entry once.
void CollectEntries(const ScanOptions& options, ScanState* state) {
    std::vector<std::string> files;
    std::vector<SkippedFile> skipped;
    for (const auto& folder : options.folders) CollectFiles(folder, &files, &skipped);
    if (options.folders.size() > 1) KeepFirstOfEach(&files);  // one walk meets each file once
    std::set<std::string> named;
    for (auto& file : files) state->entries.push_back({std::move(file), true, "", false});
    for (auto& entry : skipped) {
        if (named.insert(entry.path).second)
            state->entries.push_back({std::move(entry.path), false, entry.reason, entry.error});
    }
    std::stable_sort(state->entries.begin(), state->entries.end(),
                     [](const ScanEntry& a, const ScanEntry& b) { return a.path < b.path; });
    state->lines.resize(state->entries.size());
    state->ready.assign(state->entries.size(), false);
    for (size_t i = 0; i < state->entries.size(); ++i) {
        if (state->entries[i].open) state->toOpen.push_back(i);
    }
}

}  // namespace

int ScanCommand(const std::vector<std::string>& args) {
    ScanOptions options;
    if (int status = ParseScanOptions(args, &options); status >= 0) return status;

    g_interrupted = false;
    auto previous = std::signal(SIGINT, OnInterrupt);
    ScanState state;
    CollectEntries(options, &state);
    {
        std::lock_guard<std::mutex> hold(state.mutex);
        for (size_t i = 0; i < state.entries.size(); ++i) {
            if (state.entries[i].open) continue;
            state.readErrors = state.readErrors || state.entries[i].error;
            NameRefused(i, state.entries[i].reason, options, &state);
        }
        PrintReady(&state);
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
    if (!options.quiet) PrintSummary(state);
    if (g_interrupted) return 130;
    return state.readErrors ? kExitFileFailed : kExitOk;
}
