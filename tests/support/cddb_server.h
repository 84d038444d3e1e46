// A freedb server in its own process on a loopback port, for the lifetime of
// one test: its database is written by the test, its requests are logged.
#ifndef LYPARSER_TESTS_SUPPORT_CDDB_SERVER_H
#define LYPARSER_TESTS_SUPPORT_CDDB_SERVER_H

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

class CddbTestServer {
public:
    // mode: "normal", "silent" (never answers) or "endless" (a body without end).
    explicit CddbTestServer(const std::string& mode = "normal");
    ~CddbTestServer();
    CddbTestServer(const CddbTestServer&) = delete;
    CddbTestServer& operator=(const CddbTestServer&) = delete;

    // host:port, as LYPARSER_CDDB_SERVER takes it.
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // The exact body answered to "query/DISCID" or "read/CATEGORY/DISCID";
    // without one the server says there is no match.
    void Answer(const std::string& command, const std::string& body);
    // Request targets received so far, in order.
    std::vector<std::string> Requests() const;

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// A loopback address where nothing listens.
std::string ClosedLoopbackAddress();

#endif  // LYPARSER_TESTS_SUPPORT_CDDB_SERVER_H
