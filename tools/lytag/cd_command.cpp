// lytag cd: looks a disc up on a CDDB server through the module, the way the
// player does, and prints its track list.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>

#include "lyParser.h"
#include "tools/lytag/cd_disc.h"
#include "tools/lytag/cddb_probe.h"
#include "tools/lytag/command_line.h"
#include "tools/lytag/lytag.h"

namespace {

const CommandInfo kCdCommand = {
    "lytag cd [OPTIONS]",
    "Reads the table of contents of a CD drive (the first one found, or DEVICE)\n"
    "or of a CD image (.cue/.bin, .toc), opens its tracks through the module,\n"
    "waits for the module's CDDB lookup and prints the track list with names.\n"
    "When no names come, lytag asks the server itself to tell why.",
    {
        {"device", 'd', "DEVICE_OR_IMAGE", "the drive or image to read"},
        {"server", 0, "HOST[:PORT]",
         "the CDDB server (default: $LYPARSER_CDDB_SERVER, else\ngnudb.gnudb.org)"},
        {"timeout", 0, "SECONDS", "the longest to wait for the names (default 30)"},
        {"json", 0, nullptr, "print one JSON object instead"},
        {"quiet", 'q', nullptr, "no progress line"},
    },
    "Exit status: 0 the lookup finished (with names, or the server knows none); 1 no\n"
    "disc could be read, or the CDDB server did not answer or failed; 2 bad usage.\n"};

constexpr char kDefaultServer[] = "gnudb.gnudb.org";

std::mutex g_mutex;
std::condition_variable g_arrived;
bool g_namesArrived = false;

void OnCallFunction(const char* unit, unsigned message, int, int) {
    if (!unit || std::string(unit) != "playlist" || message != LYNOTIFY_CD_NAMES_ARRIVED) return;
    std::lock_guard<std::mutex> hold(g_mutex);
    g_namesArrived = true;
    g_arrived.notify_all();
}

std::string TrackPath(char letter, int track) {
    char path[32];
    std::snprintf(path, sizeof path, "%c:\\Track%02d.cda", letter, track);
    return path;
}

// Waits for the lookup's notice, with a progress line on a terminal.
bool WaitForNames(int timeoutSeconds, const std::string& discId, bool quiet) {
    bool terminal = !quiet && isatty(2);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    std::unique_lock<std::mutex> hold(g_mutex);
    for (int waited = 0; !g_namesArrived; ++waited) {
        if (terminal) {
            std::cerr << "\rLooking up disc " << discId << " ... " << waited << " s" << std::flush;
        }
        auto next = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::seconds(1));
        g_arrived.wait_until(hold, next, [] { return g_namesArrived; });
        if (std::chrono::steady_clock::now() >= deadline) break;
    }
    if (terminal) std::cerr << "\r\033[K" << std::flush;
    return g_namesArrived;
}

struct TrackLine {
    int number;
    std::string title;
    int seconds;
};

std::string Clock(int seconds) {
    std::string text;
    GetUnitTime(&text, seconds);
    return text;
}

void PrintDisc(const CdDisc& disc, const std::vector<std::string>& fields,
               const std::vector<TrackLine>& tracks, bool json) {
    static const char* const kNames[] = {"artist", "album", "year", "genre"};
    if (json) {
        nlohmann::json out = {{"discId", disc.DiscId()}, {"source", disc.source}};
        for (size_t i = 0; i < 4; ++i) out[kNames[i]] = fields[i];
        out["tracks"] = nlohmann::json::array();
        for (const auto& t : tracks) {
            out["tracks"].push_back(
                {{"number", t.number}, {"title", t.title}, {"seconds", t.seconds}});
        }
        std::cout << out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return;
    }
    std::cout << "Disc " << disc.DiscId() << ": " << disc.TrackCount() << " tracks, "
              << Clock(disc.PlaySeconds()) << " (" << disc.source << ")\n";
    for (size_t i = 0; i < 4; ++i) std::cout << "  " << kNames[i] << ": " << fields[i] << '\n';
    for (const auto& t : tracks) {
        std::cout << "  " << t.number << ". " << (t.title.empty() ? "(no name)" : t.title) << " ("
                  << Clock(t.seconds) << ")\n";
    }
}

// Why a finished lookup brought no names; "" when the server knows none.
std::string NoNamesReason(const CdDisc& disc) {
    const char* server = std::getenv("LYPARSER_CDDB_SERVER");
    CddbProbe probe =
        ProbeCddbServer(server && *server ? server : kDefaultServer, disc.QueryText());
    return probe.answered ? std::string() : probe.reason;
}

}  // namespace

int CdCommand(const std::vector<std::string>& args) {
    CommandLine line;
    if (int status = ParseCommandLine("cd", kCdCommand, args, &line); status >= 0) return status;
    if (!line.operands.empty())
        return UsageError("cd: unexpected argument '" + line.operands[0] + "'");
    std::string device = line.Value("device"), server = line.Value("server");
    long long timeout = 30;
    if (line.Has("timeout") && !ParseWholeNumber(line.Value("timeout"), 1, 86400, &timeout)) {
        return UsageError("cd: --timeout needs a number of seconds");
    }
    const bool json = line.Has("json");
    if (!server.empty()) setenv("LYPARSER_CDDB_SERVER", server.c_str(), 1);
    if (device.empty()) {
        std::vector<std::string> drives = FindCdDrives();
        if (drives.empty()) {
            std::cerr << "lytag: no CD drive found; name one or an image with --device\n";
            return kExitFileFailed;
        }
        device = drives.front();
    }
    CdDisc disc;
    std::string error;
    if (!ReadCdDisc(device, &disc, &error)) {
        std::cerr << "lytag: " << error << '\n';
        return kExitFileFailed;
    }
    Engine().SetDiscs({disc});
    SetCallFunctionHandler(OnCallFunction);

    TagParserCloseFile(TagParserOpenFile(TrackPath(disc.letter, 1).c_str()));  // starts the lookup
    bool arrived = WaitForNames(static_cast<int>(timeout), disc.DiscId(), line.Has("quiet"));
    if (!arrived) std::cerr << "lytag: the CDDB server did not answer within " << timeout << " s\n";

    std::vector<std::string> fields(4);
    std::vector<TrackLine> tracks;
    for (int track = 1; track <= disc.TrackCount(); ++track) {
        IBaseTag* handle = TagParserOpenFile(TrackPath(disc.letter, track).c_str());
        if (!handle) continue;
        for (int id = FIELD_ARTIST; id <= FIELD_GENRE; ++id) {
            std::string value = TagParserGetData(handle, id);
            if (!value.empty()) fields[static_cast<size_t>(id - FIELD_ARTIST)] = value;
        }
        tracks.push_back({track, TagParserGetData(handle, FIELD_TITLE),
                          std::atoi(TagParserGetFileInfo(handle, 5).c_str())});
        TagParserCloseFile(handle);
    }
    SetCallFunctionHandler(nullptr);
    bool named = false;
    for (const auto& t : tracks) named = named || !t.title.empty();
    std::string reason = arrived && !named ? NoNamesReason(disc) : std::string();
    if (arrived && !named) {
        std::cerr << "lytag: "
                  << (reason.empty() ? "the CDDB server knows no names for this disc" : reason)
                  << '\n';
    }
    PrintDisc(disc, fields, tracks, json);
    return arrived && reason.empty() ? kExitOk : kExitFileFailed;
}
