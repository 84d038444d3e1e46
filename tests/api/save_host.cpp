#include "tests/api/save_host.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

void Change(IBaseTag* handle, const Changes& changes) {
    for (const std::string& change : changes) {
        const size_t equals = change.find('=');
        const std::string key = change.substr(0, equals), value = change.substr(equals + 1);
        if (std::isdigit(static_cast<unsigned char>(key[0]))) {
            TagParserSetData(handle, std::stoi(key), value.c_str());
        } else {
            TagParserSetExData(handle, key.c_str(), value.c_str());
        }
    }
}

int SaveChanges(const std::string& path, const Changes& changes) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return -1;
    Change(handle, changes);
    const int saved = TagParserApplyFile(handle);
    TagParserCloseFile(handle);
    return saved;
}

namespace {

// The host: runs when the arguments ask for it, returning its exit status.
int RunSaveHost(int argc, char** argv) {
    TagParserInitialize(nullptr);
    IBaseTag* handle = TagParserOpenFile(argv[2]);
    if (!handle) return 2;
    for (int i = 3; i <= argc; ++i) {
        if (i < argc && argv[i][0] == '?') {
            std::printf("%s ", TagParserGetData(handle, std::atoi(argv[i] + 1)).c_str());
        } else if (i < argc && std::strcmp(argv[i], "+") != 0) {
            Change(handle, {argv[i]});
        } else {
            std::printf(i < argc ? "%d " : "%d\n", TagParserApplyFile(handle));
        }
    }
    TagParserCloseFile(handle);
    TagParserFinalize();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--save") == 0) return RunSaveHost(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> TracedSaveCommand(const TracedHost& host, const std::string& file,
                                           const Changes& changes) {
    std::vector<std::string> command = {"/usr/bin/strace", "-qq", "-o", host.log};
    command.insert(command.end(), host.options.begin(), host.options.end());
    if (!host.user.empty()) command.insert(command.end(), {"-u", host.user});
    // LeakSanitizer cannot work under ptrace.
    command.insert(command.end(), {"/usr/bin/env", "ASAN_OPTIONS=detect_leaks=0"});
    command.insert(command.end(), host.environment.begin(), host.environment.end());
    command.insert(command.end(),
                   {std::filesystem::read_symlink("/proc/self/exe"), "--save", file});
    command.insert(command.end(), changes.begin(), changes.end());
    return command;
}

}  // namespace

CommandResult TracedSave(const TracedHost& host, const std::string& file, const Changes& changes) {
    return RunCommand(TracedSaveCommand(host, file, changes));
}

RunningSave StartTracedSave(const TracedHost& host, const std::string& file, const Changes& changes,
                            const std::string& output) {
    RunningSave save{-1, host.log, output};
    const std::vector<std::string> command = TracedSaveCommand(host, file, changes);
    std::vector<char*> args;
    for (const auto& arg : command) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    save.strace = fork();
    if (save.strace == 0) {
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        dup2(out, 1);
        execv(args[0], args.data());
        _exit(127);
    }
    return save;
}

bool WaitUntilStopped(const RunningSave& save) {
    // No timed sleep: the log is read until it tells, or strace ends.
    while (ReadText(save.log).find("--- stopped by SIGSTOP ---") == std::string::npos) {
        if (waitpid(save.strace, nullptr, WNOHANG) != 0) return false;
        std::this_thread::yield();
    }
    return true;
}

std::string Finish(const RunningSave& save) {
    std::ifstream children("/proc/" + std::to_string(save.strace) + "/task/" +
                           std::to_string(save.strace) + "/children");
    pid_t host = -1;
    if (children >> host && host > 0) kill(host, SIGCONT);
    while (waitpid(save.strace, nullptr, 0) < 0 && errno == EINTR) {
    }
    return ReadText(save.output);
}

int LockWaiters(const std::string& path) {
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0) return 0;
    // "1: -> OFDLCK ADVISORY WRITE -1 MAJOR:MINOR:INODE 0 EOF" for each one.
    const std::string inode = ":" + std::to_string(info.st_ino) + " ";
    std::ifstream locks("/proc/locks");
    int waiters = 0;
    for (std::string line; std::getline(locks, line);) {
        if (line.find("->") != std::string::npos && line.find(inode) != std::string::npos)
            ++waiters;
    }
    return waiters;
}

std::pair<std::string, int> SaveBesideStopped(const RunningSave& first, IBaseTag* handle,
                                              const std::string& path) {
    std::atomic<int> second{-1};
    std::thread saving([&] { second = TagParserApplyFile(handle); });
    while (second < 0 && LockWaiters(path) == 0) std::this_thread::yield();
    std::string printed = Finish(first);
    saving.join();
    return {std::move(printed), second.load()};
}
