#include "tests/support/process.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <stdexcept>

namespace {

// An anonymous file holding `content`, read from its start. Files rather than
// pipes: nothing can fill up and block while the child runs.
int MemoryFile(const std::string& content) {
    int fd = memfd_create("lyparser-test", MFD_CLOEXEC);
    if (fd < 0 ||
        pwrite(fd, content.data(), content.size(), 0) != static_cast<ssize_t>(content.size())) {
        throw std::runtime_error("cannot make a memory file");
    }
    return fd;
}

std::string ReadAndClose(int fd) {
    std::string text;
    char buffer[65536];
    ssize_t n;
    for (off_t at = 0; (n = pread(fd, buffer, sizeof buffer, at)) > 0; at += n)
        text.append(buffer, n);
    close(fd);
    return text;
}

int Wait(pid_t pid) {
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input) {
    int files[3] = {MemoryFile(input), MemoryFile(""), MemoryFile("")};
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        for (int i = 0; i < 3; ++i) dup2(files[i], i);
        execv(args[0], args.data());
        _exit(127);
    }
    CommandResult result;
    result.status = Wait(pid);
    ReadAndClose(files[0]);
    result.out = ReadAndClose(files[1]);
    result.err = ReadAndClose(files[2]);
    return result;
}

int RunInChild(const std::function<int()>& body, bool dropToNobody) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (dropToNobody && (setgid(kNobodyId) != 0 || setuid(kNobodyId) != 0)) _exit(126);
        _exit(body());
    }
    return Wait(pid);
}

std::string Md5sum(const Bytes& data, size_t offset, size_t count) {
    offset = std::min(offset, data.size());
    count = std::min(count, data.size() - offset);
    auto begin = data.begin() + static_cast<long>(offset);
    CommandResult result =
        RunCommand({"/usr/bin/md5sum"}, std::string(begin, begin + static_cast<long>(count)));
    return result.status == 0 ? result.out.substr(0, 32) : "md5sum failed";
}

bool HaveMutagen() {
    return access("/usr/bin/python3", X_OK) == 0 &&
           RunCommand({"/usr/bin/python3", "-c", "import mutagen"}).status == 0;
}

CommandResult RunPython(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/bin/python3", "-c", script};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunCommand(argv);
}

long long BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = -1;
    io >> key >> value;
    return key == "rchar:" ? value : -1;
}
