// Running programs and code in child processes from tests.
#ifndef LYPARSER_TESTS_SUPPORT_PROCESS_H
#define LYPARSER_TESTS_SUPPORT_PROCESS_H

#include <functional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

struct CommandResult {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs `argv` (no shell) with `input` on its standard input.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input = "");

// Runs `body` in a forked child and returns its exit status (-1 on a crash).
// With `dropToNobody` the child first becomes an unprivileged user, so file
// permission bits apply even when the tests run as root.
int RunInChild(const std::function<int()>& body, bool dropToNobody = false);

// The uid/gid an unprivileged child runs as.
constexpr unsigned kNobodyId = 65534;
// Put before a command, runs it as that user (as root every file is
// readable and writable).
inline const std::vector<std::string> kAsNobody = {"/usr/bin/setpriv", "--reuid=65534",
                                                   "--regid=65534", "--clear-groups"};

// True when /usr/bin/python3 can import mutagen.
bool HaveMutagen();
// md5sum's digest of `count` bytes of `data` from `offset`, both clamped to
// the data; a text that is no digest when md5sum fails.
std::string Md5sum(const Bytes& data, size_t offset = 0, size_t count = SIZE_MAX);

// Bytes this process has read through system calls so far (/proc/self/io).
long long BytesReadSoFar();

// Runs /usr/bin/python3 with `script` as its program and `args` after it.
CommandResult RunPython(const std::string& script, const std::vector<std::string>& args = {});

#endif  // LYPARSER_TESTS_SUPPORT_PROCESS_H
