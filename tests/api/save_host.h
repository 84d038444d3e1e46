// The save tests' own host, for saves made under strace: run as
// `PROGRAM --save FILE CHANGE... [+ CHANGE...]`, a test program opens FILE,
// records each change (KEY=VALUE, KEY a field id or an attribute or comment
// name), saves, and prints ApplyFile's result; after a "+" it records the
// next changes on the same handle and saves again, printing each result on
// one line ("1 1"); "?ID" prints the field ID's value there. save_host.cpp
// holds the program's main: the host when asked, else the tests.
#ifndef LYPARSER_TESTS_API_SAVE_HOST_H
#define LYPARSER_TESTS_API_SAVE_HOST_H

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "lyParser.h"
#include "tests/support/process.h"

using Changes = std::vector<std::string>;

// Records each KEY=VALUE change on `handle`.
void Change(IBaseTag* handle, const Changes& changes);
// Opens `path`, records `changes` and saves: ApplyFile's result, -1 when the
// file does not open.
int SaveChanges(const std::string& path, const Changes& changes);

// This program as the host, saving `changes` to `file` under strace with
// `options` (e.g. {"-e", "inject=fsync:error=EIO:when=2"}) and its log in
// `log`, as the user `user` when it is not empty; `environment` holds extra
// NAME=VALUE texts.
struct TracedHost {
    explicit TracedHost(std::vector<std::string> options, std::string user = "",
                        std::vector<std::string> environment = {}, std::string log = "/dev/null")
        : options(std::move(options)),
          user(std::move(user)),
          environment(std::move(environment)),
          log(std::move(log)) {}
    std::vector<std::string> options;
    std::string user;
    std::vector<std::string> environment;
    std::string log;
};
CommandResult TracedSave(const TracedHost& host, const std::string& file, const Changes& changes);

// A save started in the background, under strace: what it prints goes to
// `output`; strace's log must be a file.
struct RunningSave {
    pid_t strace = -1;
    std::string log;
    std::string output;
};
RunningSave StartTracedSave(const TracedHost& host, const std::string& file, const Changes& changes,
                            const std::string& output);
// Waits until strace's log says the host was stopped (a SIGSTOP strace
// injected); false when it ended instead.
bool WaitUntilStopped(const RunningSave& save);
// Continues a stopped host, waits for it, and returns what it printed.
std::string Finish(const RunningSave& save);

// How many saves wait for the save lock on the file at `path` (the blocked
// requests /proc/locks lists for it).
int LockWaiters(const std::string& path);

// Saves `handle` on a thread while the stopped save `first` holds the file at
// `path`: once that save has its answer or waits for the lock, lets `first`
// go on. Returns what `first` printed and the second save's answer.
std::pair<std::string, int> SaveBesideStopped(const RunningSave& first, IBaseTag* handle,
                                              const std::string& path);

#endif  // LYPARSER_TESTS_API_SAVE_HOST_H
