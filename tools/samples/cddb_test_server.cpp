// lyparser-cddb-test-server: a freedb server on loopback, so that a host's CD
// support can be tried, and tested, without the network. It serves the
// answers stored in a folder (the layout is in cddb_server.h) until it is
// stopped.
//
//   lyparser-cddb-test-server [--port N] [--log FILE] [--mode normal|silent|endless] FOLDER
//
// Once it listens it prints the address LYPARSER_CDDB_SERVER takes
// ("127.0.0.1:PORT") on a line of its own. --listen-fd FD serves on a
// listening socket inherited from the caller instead, whose port the caller
// already knows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "tools/samples/cddb_server.h"

namespace {

const char kUsage[] =
    "Usage: lyparser-cddb-test-server [OPTIONS] FOLDER\n"
    "\n"
    "Serves the freedb answers stored in FOLDER on 127.0.0.1 until stopped:\n"
    "FOLDER/query/DISCID answers a query of disc DISCID, FOLDER/read/CATEGORY/DISCID\n"
    "a read of its entry; a disc without a file has no match. Prints the address\n"
    "to set LYPARSER_CDDB_SERVER to once it listens.\n"
    "\n"
    "Options:\n"
    "  --port N          listen on port N (default: a free port)\n"
    "  --log FILE        append each request's target to FILE\n"
    "  --mode MODE       normal (answer), silent (never answer) or endless\n"
    "                    (an answer that never ends); default normal\n"
    "  --listen-fd FD    serve on the inherited listening socket FD\n"
    "  -h, --help        show this help and exit\n";

struct Options {
    int port = 0;
    int listenFd = -1;
    std::string log;
    std::string folder;
    CddbServerMode mode = CddbServerMode::kNormal;
};

bool ParseNumber(const char* text, int max, int* out) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < 0 || value > max) return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseMode(const std::string& text, CddbServerMode* mode) {
    const std::pair<const char*, CddbServerMode> kModes[] = {{"normal", CddbServerMode::kNormal},
                                                             {"silent", CddbServerMode::kSilent},
                                                             {"endless", CddbServerMode::kEndless}};
    for (const auto& [name, value] : kModes) {
        if (text == name) {
            *mode = value;
            return true;
        }
    }
    return false;
}

// False on bad usage.
bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            if (!ParseNumber(argv[++i], 65535, &options->port)) return false;
        } else if (arg == "--listen-fd" && hasValue) {
            if (!ParseNumber(argv[++i], 1 << 20, &options->listenFd)) return false;
        } else if (arg == "--log" && hasValue) {
            options->log = argv[++i];
        } else if (arg == "--mode" && hasValue) {
            if (!ParseMode(argv[++i], &options->mode)) return false;
        } else if (arg.empty() || arg[0] == '-' || !options->folder.empty()) {
            return false;
        } else {
            options->folder = arg;
        }
    }
    return !options->folder.empty();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    int listener = options.listenFd;
    if (listener < 0) {
        listener = ListenOnLoopback(&options.port);
        if (listener < 0) {
            std::fprintf(stderr, "lyparser-cddb-test-server: cannot listen on 127.0.0.1:%d\n",
                         options.port);
            return 1;
        }
        std::printf("127.0.0.1:%d\n", options.port);
        std::fflush(stdout);
    }
    ServeCddb(listener, options.folder, options.log, options.mode);
}
