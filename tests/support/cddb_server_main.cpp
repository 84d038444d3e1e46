// cddb_test_server --db DIR --log FILE [--mode normal|silent|endless]
// Serves the freedb database in DIR on a free loopback port, printing the
// port on its first line of output, until it is killed.
#include <cstdio>
#include <string>

#include "tools/samples/cddb_server.h"

int main(int argc, char** argv) {
    std::string db, log, mode = "normal";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--db") db = argv[i + 1];
        if (option == "--log") log = argv[i + 1];
        if (option == "--mode") mode = argv[i + 1];
    }
    int port = 0;
    int listener = ListenOnLoopback(&port);
    if (listener < 0 || db.empty() || log.empty()) return 1;
    std::printf("%d\n", port);
    std::fflush(stdout);
    ServeCddb(listener, db, log,
              mode == "silent"    ? CddbServerMode::kSilent
              : mode == "endless" ? CddbServerMode::kEndless
                                  : CddbServerMode::kNormal);
    return 0;
}
