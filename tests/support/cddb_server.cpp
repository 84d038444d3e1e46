#include "tests/support/cddb_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tools/samples/cddb_server.h"

CddbTestServer::CddbTestServer(const std::string& mode) {
    // Everything the child needs is made before the fork: only exec follows it.
    const std::string db = dir_.File("db"), log = dir_.File("requests.log");
    int out[2];
    if (pipe(out) != 0 || (pid_ = fork()) < 0) throw std::runtime_error("no CDDB test server process");
    if (pid_ == 0) {
        dup2(out[1], 1);
        close(out[0]);
        execl(LY_CDDB_SERVER_PATH, LY_CDDB_SERVER_PATH, db.c_str(), log.c_str(), mode.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE* reader = fdopen(out[0], "r");
    bool started = reader && std::fscanf(reader, "%d", &port_) == 1;
    if (reader) std::fclose(reader);
    if (!started) throw std::runtime_error("the CDDB test server did not start");
}

CddbTestServer::~CddbTestServer() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

void CddbTestServer::Answer(const std::string& command, const std::string& body) {
    std::filesystem::create_directories(std::filesystem::path(dir_.File("db/" + command)).parent_path());
    dir_.Write("db/" + command, body);
}

std::vector<std::string> CddbTestServer::Requests() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_.File("requests.log"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string ClosedLoopbackAddress() {
    int port = 0;
    close(ListenOnLoopback(&port));  // nothing listens there any more
    return "127.0.0.1:" + std::to_string(port);
}
