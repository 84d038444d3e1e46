#include "tests/support/cddb_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tools/samples/cddb_server.h"

CddbTestServer::CddbTestServer(const std::string& mode) {
    // The socket listens before the child runs, so no request comes too early.
    // Everything the child needs is made before the fork: only exec follows it.
    const int listener = ListenOnLoopback(&port_);
    const std::string fd = std::to_string(listener), db = dir_.File("db"), log = dir_.File("requests.log");
    if (listener < 0 || (pid_ = fork()) < 0) throw std::runtime_error("the CDDB test server did not start");
    if (pid_ == 0) {
        fcntl(listener, F_SETFD, 0);  // kept open across exec
        execl(LY_CDDB_SERVER_PATH, LY_CDDB_SERVER_PATH, fd.c_str(), db.c_str(), log.c_str(), mode.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(listener);
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
