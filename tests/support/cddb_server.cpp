#include "tests/support/cddb_server.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "tools/samples/cddb_server.h"

CddbTestServer::CddbTestServer(const std::string& mode) {
    mkdir(dir_.File("db").c_str(), 0755);
    mkdir(dir_.File("db/query").c_str(), 0755);
    mkdir(dir_.File("db/read").c_str(), 0755);
    // Everything the child needs is made before the fork: only exec follows it.
    const std::string db = dir_.File("db"), log = dir_.File("requests.log");
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(out[1], 1);
        close(out[0]);
        execl(LY_CDDB_SERVER_PATH, LY_CDDB_SERVER_PATH, "--db", db.c_str(), "--log", log.c_str(),
              "--mode", mode.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE* reader = fdopen(out[0], "r");
    if (!reader || std::fscanf(reader, "%d", &port_) != 1) {
        if (reader) std::fclose(reader);
        throw std::runtime_error("the CDDB test server did not start");
    }
    std::fclose(reader);
}

CddbTestServer::~CddbTestServer() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void CddbTestServer::SetQueryAnswer(const std::string& discId, const std::string& body) {
    dir_.Write("db/query/" + discId, body);
}

void CddbTestServer::SetReadAnswer(const std::string& category, const std::string& discId,
                                   const std::string& body) {
    mkdir(dir_.File("db/read/" + category).c_str(), 0755);
    dir_.Write("db/read/" + category + "/" + discId, body);
}

std::vector<std::string> CddbTestServer::Requests() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_.File("requests.log"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string ClosedLoopbackAddress() {
    int port = 0;
    int fd = ListenOnLoopback(&port);
    close(fd);  // nothing listens there any more
    return "127.0.0.1:" + std::to_string(port);
}
