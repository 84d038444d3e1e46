// Saves cut short from outside the module, through the exports on large MP3,
// Ogg Vorbis and WMA files whose tags grow: a SIGKILL at moments spread over
// the whole save, a file size limit below the new file's size, and a read
// error while the original is copied. Whatever happens, the file is either
// as it was or as an uninterrupted save makes it, byte for byte, and nothing
// else is left in its folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/large_files.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"

namespace {

using Seconds = std::chrono::duration<double>;
// KEY=VALUE texts: keys of digits are field ids, others names.
using Changes = std::vector<std::string>;

constexpr int kKillMoments = 10;
const std::string kLongTitle = "A title that needs more room " + std::string(200, 't');
const std::string kBigValue(30000, 'v');  // a WMA attribute holds at most 32767 characters

// Changes that make a tag grow far past any room it had: a long title and a
// big value under `bigKey`.
Changes Growing(int titleField, const std::string& bigKey) {
    return {std::to_string(titleField) + "=" + kLongTitle, bigKey + "=" + kBigValue};
}

// A large file of each format and its growing changes.
struct Format {
    const char* name;
    Bytes (*make)(size_t bytes);
    Changes changes;
};
const Format kFormats[] = {
    {"large.mp3", MakeLargeMp3, Growing(FIELD_TITLE2, std::to_string(FIELD_LYRICS))},
    {"large.ogg", MakeLargeOgg, Growing(FIELD_TITLE, "NOTES")},
    {"large.wma", MakeLargeWma, Growing(FIELD_TITLE, "WM/Lyrics")},
    {"large.m4a", MakeLargeM4a, Growing(FIELD_TITLE, std::to_string(FIELD_LYRICS))}};

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

// The exit status of `pid`, -1 when a signal ended it.
int Wait(pid_t pid) {
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Starts a save in a forked child, which opens `path`, records `changes` and
// exits with 0 once saved (1 when the save failed, 2 when the file did not
// open); returns its pid once it calls ApplyFile, -1 when it never will.
pid_t StartSave(const std::string& path, const Changes& changes) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        IBaseTag* handle = TagParserOpenFile(path.c_str());
        if (!handle) _exit(2);
        Change(handle, changes);
        _exit(write(fds[1], "s", 1) != 1 ? 3 : TagParserApplyFile(handle) == 1 ? 0 : 1);
    }
    close(fds[1]);
    char saving = 0;
    const bool started = pid > 0 && read(fds[0], &saving, 1) == 1;
    close(fds[0]);
    if (!started && pid > 0) Wait(pid);
    return started ? pid : -1;
}

// The whole content of `path` (empty when it cannot be read) in one read:
// the tests read tens of megabytes after every save.
Bytes ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Bytes content(in ? static_cast<size_t>(in.tellg()) : 0);
    in.seekg(0).read(reinterpret_cast<char*>(content.data()), std::streamsize(content.size()));
    return content;
}

// Writes `data` to `path` and waits for the disk, so that every save starts
// with nothing else to write back and takes about as long as the last.
void WriteSynced(const std::string& path, const Bytes& data) {
    WriteBytes(path, data);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    fsync(fd);
    close(fd);
}

// A format's large file, what an uninterrupted save makes of it (empty when a
// save failed), and how long that save may take: the longest of three, so
// that the kills reach past its end.
struct Sample {
    Bytes original;
    Bytes saved;
    Seconds saveTime{0};
};

using SaveInterruptionTest = ModuleTest;

// Writes `format`'s original as `path`; its sample, made once per process,
// or null (with a failure) when a save failed or did not grow the file.
const Sample* Prepare(const Format& format, const std::string& path) {
    static std::map<const Format*, Sample> samples;
    Sample& sample = samples[&format];
    if (sample.original.empty()) {
        sample.original = format.make(24u << 20);
        bool saved = true;
        for (int run = 0; run < 3 && saved; ++run) {
            WriteSynced(path, sample.original);
            const pid_t child = StartSave(path, format.changes);
            const auto start = std::chrono::steady_clock::now();
            saved = child > 0 && Wait(child) == 0;
            sample.saveTime =
                std::max<Seconds>(sample.saveTime, std::chrono::steady_clock::now() - start);
        }
        if (saved) sample.saved = ReadWhole(path);
    }
    WriteSynced(path, sample.original);
    const bool grown = sample.saved.size() > sample.original.size();
    EXPECT_TRUE(grown) << format.name << ": a save failed or left the file as it was";
    return grown ? &sample : nullptr;
}

// A kill may leave two things, checked and removed: the finished new file,
// whole, when it fell between naming it and renaming it over the file; and,
// on a file system without unnamed files, the named new file being written.
TEST_F(SaveInterruptionTest, KillAtAnyMomentLeavesTheOldOrTheNewFile) {
    for (const Format& format : kFormats) {
        const std::string path = dir_.File(format.name);
        const Sample* sample = Prepare(format, path);
        if (!sample) continue;
        const int probe = open(dir_.path().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        const bool unnamedFiles = probe >= 0;
        close(probe);
        bool fileIsOriginal = true;
        for (int moment = 0; moment < kKillMoments; ++moment) {
            const Seconds delay = sample->saveTime * (1.2 * moment / (kKillMoments - 1));
            const std::string when = std::string(format.name) + " killed " +
                                     std::to_string(static_cast<int>(delay.count() * 1000)) +
                                     " ms into the save";
            if (!fileIsOriginal) WriteSynced(path, sample->original);
            const pid_t child = StartSave(path, format.changes);
            ASSERT_GT(child, 0) << when;
            std::this_thread::sleep_for(delay);
            kill(child, SIGKILL);
            Wait(child);
            const Bytes after = ReadWhole(path);
            fileIsOriginal = after == sample->original;
            EXPECT_TRUE(fileIsOriginal || after == sample->saved) << when;
            for (const std::string& name : dir_.Names()) {
                const std::string left = dir_.File(name), hidden = "." + std::string(format.name);
                if (name == format.name) continue;
                if (name.rfind(hidden + ".lyparser-new-", 0) == 0) {
                    EXPECT_TRUE(ReadWhole(left) == sample->saved) << when;
                } else if (name.rfind(hidden + ".lyparser-safe-", 0) != 0 || unnamedFiles) {
                    ADD_FAILURE() << when << " left " << name;
                }
                std::remove(left.c_str());
            }
        }
        unlink(path.c_str());
    }
}

TEST_F(SaveInterruptionTest, FileSizeLimitFailsTheSaveWithoutKillingTheHost) {
    for (const Format& format : kFormats) {
        const std::string path = dir_.File(format.name);
        const Sample* sample = Prepare(format, path);
        if (!sample) continue;
        const size_t oldSize = sample->original.size(), newSize = sample->saved.size();
        for (size_t limit : {oldSize / 2, oldSize + (newSize - oldSize) / 2}) {
            const std::string when =
                std::string(format.name) + " with a limit of " + std::to_string(limit) + " bytes";
            WriteBytes(path, sample->original);
            // SIGXFSZ as a host that never heard of it has it: killing the process.
            const int status = RunInChild([&] {
                const struct rlimit size = {limit, limit};
                if (signal(SIGXFSZ, SIG_DFL) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &size) != 0)
                    return 10;
                OpenedFile file(path);
                if (!file.get()) return 11;
                Change(file.get(), format.changes);
                const int saved = TagParserApplyFile(file.get());
                sigset_t blocked;
                pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
                return sigismember(&blocked, SIGXFSZ) ? 12 : saved;
            });
            EXPECT_EQ(status, 0) << when << " (-1: killed, 1: saved, 12: SIGXFSZ left blocked)";
            EXPECT_TRUE(ReadWhole(path) == sample->original) << when;
            EXPECT_EQ(dir_.Names(), std::vector<std::string>{format.name}) << when;
        }
        unlink(path.c_str());
    }
}

TEST_F(SaveInterruptionTest, ReadErrorWhileCopyingFailsTheSaveAndLeavesTheFile) {
    const std::string strace = "/usr/bin/strace";
    if (access(strace.c_str(), X_OK) != 0)
        GTEST_SKIP() << "strace is missing (./dev.sh installs it)";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    TempDir logs;
    const std::string log = logs.File("reads.log");
    // The call that copies each original: the kernel's for MP3 and WMA, stdio's
    // for Ogg, and the buffer's where the kernel refuses to copy between the files.
    const struct {
        const Format& format;
        std::string call;
        std::string refused;
    } cases[] = {{kFormats[0], "copy_file_range", ""},
                 {kFormats[1], "read", ""},
                 {kFormats[2], "copy_file_range", ""},
                 {kFormats[0], "pread64", "copy_file_range"}};  // refused: EXDEV
    for (const auto& [format, call, refused] : cases) {
        const std::string path = dir_.File(format.name);
        const Sample* sample = Prepare(format, path);
        if (!sample) continue;
        // This program saves under strace (see main); LeakSanitizer cannot work
        // under ptrace.
        auto traced = [&](std::vector<std::string> options) {
            options.insert(options.begin(),
                           {"/usr/bin/env", "ASAN_OPTIONS=detect_leaks=0", strace, "-qq", "-e",
                            "trace=" + call + (refused.empty() ? "" : "," + refused)});
            if (!refused.empty())
                options.insert(options.end(), {"-e", "inject=" + refused + ":error=EXDEV"});
            options.insert(options.end(), {self, "--save", path});
            options.insert(options.end(), format.changes.begin(), format.changes.end());
            return RunCommand(options);
        };

        // A traced save that works numbers the reads; it saves what the child saves.
        CommandResult counted = traced({"-o", log});
        ASSERT_EQ(counted.out, "1\n") << format.name << ": " << counted.err;
        EXPECT_TRUE(ReadWhole(path) == sample->saved) << format.name;
        // The invocation numbers of the calls that moved 64 KiB or more: the copy.
        std::vector<int> copies;
        std::ifstream lines(log);
        int number = 0;
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind(call + "(", 0) != 0) continue;
            const size_t result = line.rfind(") = ");
            ++number;
            if (result != std::string::npos && std::atoll(line.c_str() + result + 4) >= 64 * 1024)
                copies.push_back(number);
        }
        ASSERT_GE(copies.size(), 8u) << format.name << ": too few large reads to aim between";

        const std::string failing = std::to_string(copies[copies.size() / 2]);
        const std::string when =
            std::string(format.name) + ", " + call + " number " + failing + " failing";
        WriteBytes(path, sample->original);
        // strace injects only into calls it traces: their log goes nowhere.
        CommandResult failed = traced(
            {"-f", "-o", "/dev/null", "-e", "inject=" + call + ":error=EIO:when=" + failing});
        EXPECT_EQ(failed.status, 0) << when << ": " << failed.err;
        EXPECT_EQ(failed.out, "0\n") << when;
        EXPECT_TRUE(ReadWhole(path) == sample->original) << when;
        EXPECT_EQ(dir_.Names(), std::vector<std::string>{format.name}) << when;
        unlink(path.c_str());
    }
}

}  // namespace

// Run as `save_interruption_test --save FILE KEY=VALUE...`, the program is a
// minimal host for a save under another tool: it opens FILE, records each
// change (see Change), saves and prints ApplyFile's result.
int main(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "--save") != 0) {
        testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    }
    TagParserInitialize(nullptr);
    IBaseTag* handle = TagParserOpenFile(argv[2]);
    if (!handle) return 2;
    Change(handle, Changes(argv + 3, argv + argc));
    std::printf("%d\n", TagParserApplyFile(handle));
    TagParserCloseFile(handle);
    TagParserFinalize();
    return 0;
}
