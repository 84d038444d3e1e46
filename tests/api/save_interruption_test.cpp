// Saves cut short from outside the module, through the exports on a large MP3
// whose tag grows (and an Ogg Vorbis file whose pages are renumbered): a file
// size limit below the new file's size, and a read error while the original
// is copied. The file is left as it was, byte for byte, and nothing else is
// left in its folder. (Every format gives the save the new file's size before
// it writes, and copies through the same calls. What a kill or a power cut at
// any moment leaves is proved by save_crash_states_test.)
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/api/save_host.h"
#include "tests/support/large_files.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"

namespace {

// A large file and changes that make its tag grow far past any room it had.
struct Format {
    const char* name;
    Bytes (*make)(size_t bytes);
    Changes changes;
};
const Format kMp3 = {"large.mp3",
                     MakeLargeMp3,
                     {std::to_string(FIELD_TITLE2) + "=" + std::string(230, 't'),
                      std::to_string(FIELD_LYRICS) + "=" + std::string(30000, 'v')}};
// One whose later pages are renumbered: it is copied by positioned reads.
const Format kRenumbered = {"renumbered.ogg",
                            MakeLargeOgg,
                            {std::to_string(FIELD_TITLE) + "=" + std::string(230, 't'),
                             "NOTES=" + std::string(70000, 'v')}};

// The whole content of `path` (empty when it cannot be read) in one read:
// the tests read tens of megabytes after every save.
Bytes ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Bytes content(in ? static_cast<size_t>(in.tellg()) : 0);
    in.seekg(0).read(reinterpret_cast<char*>(content.data()), std::streamsize(content.size()));
    return content;
}

// A format's large file, and what a save makes of it.
struct Sample {
    Bytes original;
    Bytes saved;
};

using SaveInterruptionTest = ModuleTest;

// Writes `format`'s original as `path`; its sample, made once per process,
// or null (with a failure) when a save failed or did not grow the file.
const Sample* Prepare(const Format& format, const std::string& path) {
    static std::map<const Format*, Sample> samples;
    Sample& sample = samples[&format];
    if (sample.original.empty()) {
        sample.original = format.make(12u << 20);
        WriteBytes(path, sample.original);
        if (SaveChanges(path, format.changes) == 1) sample.saved = ReadWhole(path);
    }
    WriteBytes(path, sample.original);
    const bool grown = sample.saved.size() > sample.original.size();
    EXPECT_TRUE(grown) << format.name << ": a save failed or left the file as it was";
    return grown ? &sample : nullptr;
}

TEST_F(SaveInterruptionTest, FileSizeLimitFailsTheSaveWithoutKillingTheHost) {
    const std::string path = dir_.File(kMp3.name);
    const Sample* sample = Prepare(kMp3, path);
    ASSERT_TRUE(sample);
    // A limit the old file fits and the new one passes.
    const size_t limit = (sample->original.size() + sample->saved.size()) / 2;
    // SIGXFSZ as a host that never heard of it has it: killing the process.
    const int status = RunInChild([&] {
        const struct rlimit size = {limit, limit};
        if (signal(SIGXFSZ, SIG_DFL) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &size) != 0) return 10;
        const int saved = SaveChanges(path, kMp3.changes);
        sigset_t blocked;
        pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
        return sigismember(&blocked, SIGXFSZ) ? 12 : saved;
    });
    EXPECT_EQ(status, 0) << "-1: killed, 1: saved, 12: SIGXFSZ left blocked";
    EXPECT_TRUE(ReadWhole(path) == sample->original);
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{kMp3.name});
}

TEST_F(SaveInterruptionTest, ReadErrorWhileCopyingFailsTheSaveAndLeavesTheFile) {
    if (access("/usr/bin/strace", X_OK) != 0)
        GTEST_SKIP() << "strace is missing (./dev.sh installs it)";
    TempDir logs;
    const std::string log = logs.File("reads.log");
    // The call that copies the original: the kernel's (every format's save
    // copies through the same call), a positioned read for an Ogg file whose
    // later pages are renumbered, and the buffer's where the kernel refuses to
    // copy between the files.
    const struct {
        const Format& format;
        std::string call;
        std::string refused;
    } cases[] = {{kMp3, "copy_file_range", ""},
                 {kRenumbered, "pread64", ""},
                 {kMp3, "pread64", "copy_file_range"}};  // refused: EXDEV
    for (const auto& c : cases) {
        const Format& format = c.format;
        const std::string &call = c.call, &refused = c.refused;  // captured below
        const std::string path = dir_.File(format.name);
        const Sample* sample = Prepare(format, path);
        if (!sample) continue;
        auto traced = [&](const std::string& log, std::vector<std::string> options) {
            options.insert(options.begin(),
                           {"-e", "trace=" + call + (refused.empty() ? "" : "," + refused)});
            if (!refused.empty())
                options.insert(options.end(), {"-e", "inject=" + refused + ":error=EXDEV"});
            return TracedSave(TracedHost(options, "", {}, log), path, format.changes);
        };

        // A traced save that works numbers the reads; it saves what the child saves.
        CommandResult counted = traced(log, {});
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
        CommandResult failed =
            traced("/dev/null", {"-f", "-e", "inject=" + call + ":error=EIO:when=" + failing});
        EXPECT_EQ(failed.status, 0) << when << ": " << failed.err;
        EXPECT_EQ(failed.out, "0\n") << when;
        EXPECT_TRUE(ReadWhole(path) == sample->original) << when;
        EXPECT_EQ(dir_.Names(), std::vector<std::string>{format.name}) << when;
        unlink(path.c_str());
    }
}

}  // namespace
