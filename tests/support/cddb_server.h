// A freedb server in its own process on a loopback port, for the lifetime of
// one test: its database is written by the test, its requests are logged.
#ifndef LYPARSER_TESTS_SUPPORT_CDDB_SERVER_H
#define LYPARSER_TESTS_SUPPORT_CDDB_SERVER_H

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "tests/support/temp_dir.h"
#include "tools/samples/cddb_server.h"

class CddbTestServer {
public:
    // mode: "normal" or "silent" (never answers).
    // The socket listens before the child runs, so no request comes too early.
    // Everything the child needs is made before the fork: only system calls and
    // exec follow it. The child dies with the thread that starts it, even when
    // the test is killed.
    explicit CddbTestServer(const std::string& mode = "normal") {
        const int listener = ListenOnLoopback(&port_);
        const std::string fd = std::to_string(listener), db = dir_.File("db"),
                          log = dir_.File("requests.log");
        const pid_t parent = getpid();
        if (listener < 0 || (pid_ = fork()) < 0) throw std::runtime_error("no CDDB test server");
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);  // the test ended before prctl
            fcntl(listener, F_SETFD, 0);          // kept open across exec
            execl(LY_CDDB_SERVER_PATH, LY_CDDB_SERVER_PATH, "--listen-fd", fd.c_str(), "--log",
                  log.c_str(), "--mode", mode.c_str(), db.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(listener);
    }
    ~CddbTestServer() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

    // host:port, as LYPARSER_CDDB_SERVER takes it.
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // The exact body answered to "query/DISCID" or "read/CATEGORY/DISCID";
    // without one the server says there is no match. A body that begins with
    // "HTTP/" is the whole HTTP answer (see Http). COMMAND.once is answered to
    // the next such request only; later ones get COMMAND's answer again.
    void Answer(const std::string& command, const std::string& body) {
        std::filesystem::create_directories(
            dir_.File("db/" + command.substr(0, command.rfind('/'))));
        dir_.Write("db/" + command, body);
    }
    // A whole HTTP answer to store as an answer: `status` as "503 Service
    // Unavailable", a Location when `location` is given, and `body`.
    static std::string Http(const std::string& status, const std::string& location = "",
                            const std::string& body = "") {
        return "HTTP/1.1 " + status + "\r\n" +
               (location.empty() ? "" : "Location: " + location + "\r\n") +
               "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
               body;
    }
    // Request targets received so far, in order, each followed by a line feed.
    std::string Requests() const {
        std::ifstream in(dir_.File("requests.log"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

#endif  // LYPARSER_TESTS_SUPPORT_CDDB_SERVER_H
