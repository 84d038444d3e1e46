// cddb_test_server DB LOG normal|silent|endless
// Serves the freedb database in the folder DB on a free loopback port, logging
// request targets to LOG; prints the port on its first line, runs until killed.
#include <cstdio>
#include <string>

#include "tools/samples/cddb_server.h"

int main(int argc, char** argv) {
    int port = 0;
    int listener = ListenOnLoopback(&port);
    if (listener < 0 || argc != 4) return 1;
    std::printf("%d\n", port);
    std::fflush(stdout);
    const std::string mode = argv[3];
    ServeCddb(listener, argv[1], argv[2],
              mode == "silent"    ? CddbServerMode::kSilent
              : mode == "endless" ? CddbServerMode::kEndless
                                  : CddbServerMode::kNormal);
    return 0;
}
