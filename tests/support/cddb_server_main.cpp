// cddb_test_server FD DB LOG normal|silent
// Serves the freedb database in the folder DB on the listening socket FD,
// logging request targets to LOG, until it is killed.
#include <cstdlib>
#include <string>

#include "tools/samples/cddb_server.h"

int main(int argc, char** argv) {
    if (argc != 5) return 1;
    ServeCddb(std::atoi(argv[1]), argv[2], argv[3],
              std::string(argv[4]) == "silent" ? CddbServerMode::kSilent : CddbServerMode::kNormal);
}
