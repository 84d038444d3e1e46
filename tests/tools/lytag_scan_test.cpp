// lytag scan: the same lines whatever the number of threads, things that are
// not files skipped without waiting, JSON Lines, the progress bar only on a
// terminal, and its exit statuses.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wav_sample.h"
#include "tools/samples/wma_sample.h"

namespace {

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

class LytagScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir_.File("music").c_str(), 0755);
        mkdir(dir_.File("music/album").c_str(), 0755);
        for (int i = 0; i < 6; ++i) {
            std::string n = std::to_string(i);
            dir_.Write("music/album/song" + n + ".mp3", MakeMp3Sample());
            dir_.Write("music/album/song" + n + ".ogg", MakeOggSample());
            dir_.Write("music/song" + n + ".wma", MakeWmaSample());
            dir_.Write("music/tone" + n + ".wav", MakeWavTone(1.0 + i));
        }
        dir_.Write("music/README", std::string("no extension: refused"));
        mkfifo(dir_.File("music/pipe.mp3").c_str(), 0644);
        symlink("loop-b", dir_.File("music/loop-a").c_str());
        symlink("loop-a", dir_.File("music/loop-b").c_str());
        symlink("..", dir_.File("music/album/up").c_str());
    }

    CommandResult Scan(std::vector<std::string> extra) {
        std::vector<std::string> args = {LY_LYTAG_PATH, "scan", dir_.File("music")};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCommand(args);
    }

    TempDir dir_;
};

TEST_F(LytagScanTest, OneThreadAndEightThreadsGiveTheSameLines) {
    CommandResult one = Scan({"--jobs", "1", "--md5"});
    CommandResult eight = Scan({"--jobs", "8", "--md5"});
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(eight.status, 0) << eight.err;
    EXPECT_EQ(SortedLines(one.out), SortedLines(eight.out));
    EXPECT_EQ(SortedLines(one.out).size(), 24u);
    EXPECT_NE(one.out.find(dir_.File("music/tone3.wav") + "\tunknown\ttone3\t4\t"), std::string::npos);
    EXPECT_NE(one.err.find("refused, not a readable file of a known kind: 1"), std::string::npos);
    EXPECT_NE(one.err.find("skipped " + dir_.File("music/pipe.mp3") + ": not a regular file"),
              std::string::npos);
    EXPECT_NE(one.err.find("skipped " + dir_.File("music/loop-a") + ": symbolic link loop"),
              std::string::npos);
    EXPECT_EQ(one.err.find("files/s"), std::string::npos);  // no terminal: no progress bar
}

TEST_F(LytagScanTest, UnreadableFilesAreSkippedForAnUnprivilegedUser) {
    std::string secret = dir_.Write("music/secret.mp3", MakeMp3Sample());
    ASSERT_EQ(chmod(secret.c_str(), 0000), 0);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    // Root reads anything: scan as nobody.
    int status = RunInChild(
        [&] {
            CommandResult result = Scan({});
            return result.status == 0 && result.err.find("skipped " + secret + ": not readable") != std::string::npos
                       ? 0
                       : 1;
        },
        true);
    EXPECT_EQ(status, 0);
}

TEST_F(LytagScanTest, JsonOutputIsJsonLines) {
    CommandResult result = Scan({"--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    std::istringstream in(result.out);
    int count = 0;
    for (std::string line; std::getline(in, line); ++count) {
        nlohmann::json object = nlohmann::json::parse(line);
        EXPECT_TRUE(object.contains("file") && object.contains("type") && object.contains("seconds"));
    }
    EXPECT_EQ(count, 24);
}

TEST_F(LytagScanTest, ExitStatusesAreTheDocumentedOnes) {
    EXPECT_EQ(RunCommand({LY_LYTAG_PATH, "scan"}).status, 2);
    EXPECT_EQ(Scan({"--jobs", "0"}).status, 2);
    EXPECT_EQ(Scan({"--bogus"}).status, 2);
    EXPECT_EQ(RunCommand({LY_LYTAG_PATH, "scan", dir_.File("missing")}).status, 1);
    EXPECT_EQ(RunCommand({LY_LYTAG_PATH, "scan", dir_.File("music/README")}).status, 1);
}

TEST_F(LytagScanTest, ProgressBarAppearsOnATerminal) {
    int terminal = -1;
    pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    std::string folder = dir_.File("music");
    if (pid == 0) {
        execl(LY_LYTAG_PATH, LY_LYTAG_PATH, "scan", folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string screen;
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) screen.append(buffer, n);
    int raw = 0;
    waitpid(pid, &raw, 0);
    close(terminal);
    EXPECT_EQ(WEXITSTATUS(raw), 0);
    EXPECT_NE(screen.find("files/s"), std::string::npos) << screen;
}

TEST(LytagScanInterruptTest, CtrlCStopsWithTheSummarySoFar) {
    TempDir dir;
    mkdir(dir.File("many").c_str(), 0755);
    for (int i = 0; i < 20000; ++i) dir.Write("many/f" + std::to_string(i) + ".txt", std::string("x"));
    int out[2], err[2];
    ASSERT_EQ(pipe(out), 0);
    ASSERT_EQ(pipe(err), 0);
    std::string folder = dir.File("many");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        execl(LY_LYTAG_PATH, LY_LYTAG_PATH, "scan", folder.c_str(), "--jobs", "1",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    char first;
    ASSERT_EQ(read(out[0], &first, 1), 1);  // scanning has begun
    kill(pid, SIGINT);
    char buffer[65536];
    while (read(out[0], buffer, sizeof buffer) > 0) {
    }
    std::string summary;
    for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;) summary.append(buffer, n);
    int raw = 0;
    waitpid(pid, &raw, 0);
    close(out[0]);
    close(err[0]);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 130);
    EXPECT_EQ(summary.rfind("Interrupted after ", 0), 0u) << summary;
}

}  // namespace
