#include "tools/samples/cddb_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

bool SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// The request target of the GET on `fd` ("" when none arrived).
std::string ReadTarget(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
    }
    std::istringstream line(request.substr(0, request.find("\r\n")));
    std::string method, target;
    line >> method >> target;
    return target;
}

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The stored answer at `path` in the database: `path`.once when it exists
// (removed as it is used), else `path`.
bool StoredAnswer(const std::string& path, std::string* text) {
    if (ReadFile(path + ".once", text)) {
        std::remove((path + ".once").c_str());
        return true;
    }
    return ReadFile(path, text);
}

// The whole HTTP answer for a request target, from the database folder. A
// stored answer that begins with "HTTP/" is sent as it is; any other is the
// body of a 200 answer.
std::string Answer(const std::string& target, const std::string& db) {
    size_t cmd = target.find("cmd=");
    std::string command = cmd == std::string::npos ? "" : target.substr(cmd + 4);
    command = command.substr(0, command.find('&'));
    std::vector<std::string> words;
    std::istringstream split(command);
    for (std::string word; std::getline(split, word, '+');) words.push_back(word);
    std::string body;
    if (words.size() >= 3 && words[0] == "cddb" && words[1] == "query") {
        if (!StoredAnswer(db + "/query/" + words[2], &body)) {
            body = "202 No match for disc ID " + words[2] + ".\r\n";
        }
    } else if (words.size() >= 4 && words[0] == "cddb" && words[1] == "read") {
        if (!StoredAnswer(db + "/read/" + words[2] + "/" + words[3], &body)) {
            body = "401 " + words[2] + " " + words[3] + " No such CD entry in database.\r\n";
        }
    } else {
        body = "500 Command syntax error.\r\n";
    }
    if (body.compare(0, 5, "HTTP/") == 0) return body;
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void Respond(int fd, const std::string& db, const std::string& log, CddbServerMode mode) {
    std::string target = ReadTarget(fd);
    if (!log.empty()) {
        std::ofstream out(log, std::ios::app);
        out << target << '\n';
    }
    if (mode == CddbServerMode::kEndless) {
        SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n");
        std::string chunk(65536, 'x');
        while (SendAll(fd, chunk)) {
        }
        return;
    }
    SendAll(fd, Answer(target, db));
}

}  // namespace

int ListenOnLoopback(int* port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int reuse = 1;  // a fixed port can be taken again at once after a restart
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(*port));
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 64) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

void ServeCddb(int listener, const std::string& db, const std::string& log, CddbServerMode mode) {
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<int> held;  // silent mode keeps every connection open, unanswered
    for (;;) {
        int fd = accept(listener, nullptr, nullptr);
        if (fd < 0) continue;
        if (mode == CddbServerMode::kSilent) {
            held.push_back(fd);
            continue;
        }
        Respond(fd, db, log, mode);
        close(fd);
    }
}
