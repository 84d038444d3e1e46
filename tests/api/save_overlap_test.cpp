// Two saves of one MP3 at once, by rename, made to overlap without timing:
// in two threads of one process while the test holds the file's save lock
// itself, and in two processes, one stopped by strace just before its
// rename. At most one of two saves that started from the same file
// succeeds, and the file holds exactly its change; the other says why. A
// file system without locks still saves. (Formats differ only in how they
// tell the save what they opened: the refusal of a file changed since, for
// each, is failure_reasons_test's, as is a lock held too long; a save in
// place stopped half way while another waits, save_in_place_test's.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>

#include "tests/api/save_host.h"
#include "tests/support/module_test.h"
#include "tools/samples/mpeg_sample.h"

namespace {

const std::string kFirst = std::to_string(FIELD_TITLE) + "=First";
const std::string kSecond = std::to_string(FIELD_ARTIST) + "=Second";

// Takes the save lock on `path` as a save would; the descriptor holds it.
int HoldLock(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    EXPECT_EQ(fcntl(fd, F_OFD_SETLK, &lock), 0);
    return fd;
}

// Which of the two changes the file at `path` holds: "first", "second", both.
std::string Holds(const std::string& path) {
    OpenedFile file(path);
    return std::string(TagParserGetData(file.get(), FIELD_TITLE) == "First" ? "first" : "") +
           (TagParserGetData(file.get(), FIELD_ARTIST) == "Second" ? "second" : "");
}

using SaveOverlapTest = ModuleTest;

// Two threads of one process: the lock is the open file's, not the process's.
TEST_F(SaveOverlapTest, OfTwoSavesWaitingForTheLockOneWins) {
    const std::string path = dir_.Write("a.mp3", MakeMp3Sample());
    const int held = HoldLock(path);
    OpenedFile first(path), other(path);
    Change(first.get(), {kFirst});
    Change(other.get(), {kSecond});
    int results[2] = {-1, -1};
    std::atomic<int> done{0};
    std::thread saving[2];
    for (int i = 0; i < 2; ++i) {
        saving[i] = std::thread([&, i] {
            results[i] = TagParserApplyFile((i == 0 ? first : other).get());
            ++done;
        });
    }
    while (LockWaiters(path) < 2 && done == 0) std::this_thread::yield();
    close(held);
    for (std::thread& thread : saving) thread.join();
    EXPECT_EQ(results[0] + results[1], 1);
    EXPECT_EQ(Holds(path), results[0] == 1 ? "first" : "second");
}

// The overlap of two processes as it happens: one save stopped after naming
// its new file, just before the rename, while another waits for it.
TEST_F(SaveOverlapTest, SaveStoppedBeforeItsRenameKeepsTheOtherOut) {
    if (access("/usr/bin/strace", X_OK) != 0) GTEST_SKIP() << "strace is missing";
    const std::string path = dir_.Write("a.mp3", MakeMp3Sample());
    TempDir logs;
    const TracedHost host({"-e", "trace=linkat", "-e", "inject=linkat:signal=SIGSTOP:when=1"}, "",
                          {}, logs.File("strace.log"));
    const RunningSave first = StartTracedSave(host, path, {kFirst}, logs.File("out"));
    ASSERT_TRUE(WaitUntilStopped(first));
    OpenedFile other(path);
    Change(other.get(), {kSecond});
    EXPECT_EQ(SaveBesideStopped(first, other.get(), path), std::make_pair(std::string("1\n"), 0));
    EXPECT_EQ(TagParserGetExData(other.get(), LYPARSER_KEY_LAST_ERROR).substr(0, 16),
              "CHANGED_ON_DISK:");
    EXPECT_EQ(Holds(path), "first");
}

// No locks on the file system (ENOLCK): the save goes on without one.
TEST_F(SaveOverlapTest, AFileSystemWithoutLocksStillSaves) {
    const std::string path = dir_.Write("a.mp3", MakeMp3Sample());
    if (access("/usr/bin/strace", X_OK) != 0) GTEST_SKIP() << "strace is missing";
    TempDir logs;
    const std::string log = logs.File("fcntl.log");
    ASSERT_EQ(TracedSave(TracedHost({"-e", "trace=fcntl"}, "", {}, log), path, {kFirst}).out,
              "1\n");
    int call = 0, lockCall = 0;
    std::ifstream calls(log);
    for (std::string line; std::getline(calls, line) && !lockCall;) {
        ++call;
        if (line.find("F_OFD_SETLK") != std::string::npos) lockCall = call;
    }
    ASSERT_GT(lockCall, 0);
    const TracedHost noLocks(
        {"-e", "trace=fcntl", "-e", "inject=fcntl:error=ENOLCK:when=" + std::to_string(lockCall)});
    EXPECT_EQ(TracedSave(noLocks, path, {kSecond}).out, "1\n");
    EXPECT_EQ(Holds(path), "firstsecond");
}

}  // namespace
