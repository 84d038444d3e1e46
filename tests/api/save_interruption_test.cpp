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
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/large_files.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;
using Changes = std::vector<std::pair<std::string, std::string>>;

constexpr size_t kLargeBytes = 24u << 20;
constexpr int kKillMoments = 10;
const LargeFormat kFormats[] = {LargeFormat::kMp3, LargeFormat::kOggVorbis, LargeFormat::kWma};

// A longer title and a value of tens of kilobytes: every format's tag grows
// far past any room it had. Keys of digits are field ids, others names.
Changes GrowingChanges(LargeFormat format) {
    const std::string title = "A title that needs more room " + std::string(200, 't');
    switch (format) {
        case LargeFormat::kMp3:
            return {{std::to_string(FIELD_TITLE2), title},
                    {std::to_string(FIELD_LYRICS), std::string(100 * 1024, 'l')},
                    {std::to_string(FIELD_HAS_ID3V1), "Y"},
                    {std::to_string(FIELD_HAS_ID3V2), "Y"}};
        case LargeFormat::kOggVorbis:
            return {{std::to_string(FIELD_TITLE), title}, {"NOTES", std::string(100 * 1024, 'n')}};
        case LargeFormat::kWma:  // an attribute holds at most 32767 characters
            return {{std::to_string(FIELD_TITLE), title}, {"WM/Lyrics", std::string(30000, 'l')}};
    }
    return {};
}

void Change(IBaseTag* handle, const Changes& changes) {
    for (const auto& [key, value] : changes) {
        if (std::isdigit(static_cast<unsigned char>(key[0]))) {
            TagParserSetData(handle, std::stoi(key), value.c_str());
        } else {
            TagParserSetExData(handle, key.c_str(), value.c_str());
        }
    }
}

// A save in a forked child: it opens `path`, records `changes`, tells the
// parent it is about to call ApplyFile, and exits with 0 once saved (1 when
// the save failed, 2 when the file did not open).
class ChildSave {
public:
    ChildSave(const std::string& path, const Changes& changes) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            IBaseTag* handle = TagParserOpenFile(path.c_str());
            if (!handle) _exit(2);
            Change(handle, changes);
            const char saving = 1;
            if (write(fds[1], &saving, 1) != 1) _exit(3);
            _exit(TagParserApplyFile(handle) == 1 ? 0 : 1);
        }
        close(fds[1]);
        ready_ = fds[0];
    }
    ~ChildSave() {
        if (pid_ > 0) Kill();
        if (ready_ >= 0) close(ready_);
    }
    ChildSave(const ChildSave&) = delete;
    ChildSave& operator=(const ChildSave&) = delete;

    // Blocks until the child calls ApplyFile; false when it never will.
    bool WaitUntilSaving() {
        char saving = 0;
        return pid_ > 0 && ready_ >= 0 && read(ready_, &saving, 1) == 1;
    }
    // The child's exit status, -1 when a signal ended it.
    int Wait() {
        int raw = 0;
        while (waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    void Kill() {
        kill(pid_, SIGKILL);
        Wait();
    }

private:
    pid_t pid_ = -1;
    int ready_ = -1;
};

// True when the file system of `folder` has unnamed files (O_TMPFILE).
bool HasUnnamedFiles(const std::string& folder) {
    const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) close(fd);
    return fd >= 0;
}

// The whole content of `path` (empty when it cannot be read), in a few
// large reads: the tests read tens of megabytes after every save.
Bytes ReadWhole(const std::string& path) {
    Bytes content;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        if (fd >= 0) close(fd);
        return content;
    }
    content.resize(static_cast<size_t>(info.st_size));
    size_t got = 0;
    for (ssize_t n;
         got < content.size() && (n = read(fd, &content[got], content.size() - got)) > 0;)
        got += static_cast<size_t>(n);
    close(fd);
    content.resize(got);
    return content;
}

// Writes `data` to `path` and waits for the disk, so that every save starts
// with nothing else to write back and takes about as long as the last.
void WriteSynced(const std::string& path, const Bytes& data) {
    WriteBytes(path, data);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) fsync(fd);
    if (fd >= 0) close(fd);
}

// A large file of one format, what an uninterrupted save with its growing
// changes makes of it, and how long that save may take (the longest of
// three, so that the kills reach past its end); made once per process.
struct Sample {
    std::string name;
    Changes changes;
    Bytes original;
    Bytes saved;
    Seconds saveTime{0};  // zero when a save failed
};

const Sample& SampleOf(LargeFormat format) {
    static std::map<LargeFormat, Sample> samples;
    auto found = samples.find(format);
    if (found != samples.end()) return found->second;
    Sample sample;
    sample.name = std::string("large.") + LargeFileExtension(format);
    sample.changes = GrowingChanges(format);
    sample.original = MakeLargeFile(format, kLargeBytes);
    TempDir dir;
    const std::string path = dir.File(sample.name);
    std::vector<Seconds> times;
    for (int run = 0; run < 3; ++run) {
        WriteSynced(path, sample.original);
        ChildSave child(path, sample.changes);
        if (!child.WaitUntilSaving()) break;
        const Clock::time_point start = Clock::now();
        if (child.Wait() != 0) break;
        times.push_back(Clock::now() - start);
    }
    if (times.size() == 3) sample.saveTime = *std::max_element(times.begin(), times.end());
    sample.saved = ReadWhole(path);
    return samples.emplace(format, std::move(sample)).first->second;
}

class SaveInterruptionTest : public ModuleTest {
protected:
    // Loads `format`'s sample and writes its original into a folder of its
    // own; false (with a failure) when its uninterrupted save did not work.
    bool Prepare(LargeFormat format) {
        sample_ = &SampleOf(format);
        folder_ = std::make_unique<TempDir>();
        path_ = folder_->File(sample_->name);
        WriteSynced(path_, sample_->original);
        EXPECT_GT(sample_->saveTime.count(), 0)
            << sample_->name << ": the uninterrupted save failed";
        EXPECT_GT(sample_->saved.size(), sample_->original.size())
            << sample_->name << ": the tag did not grow";
        return sample_->saveTime.count() > 0 && sample_->saved.size() > sample_->original.size();
    }
    // Fails the test for anything in the folder but the file itself.
    void ExpectNothingLeft(const std::string& when) const {
        EXPECT_EQ(folder_->Names(), std::vector<std::string>{sample_->name}) << when;
    }
    // The same after a kill, which may leave two things, reported and
    // removed: the finished new file, whole, when the kill fell between
    // naming it and renaming it over the file; and, on a file system
    // without unnamed files, the named new file being written.
    void ExpectOnlyTheFileLeft(const std::string& when) const {
        const std::string finished = "." + sample_->name + ".lyparser-new-";
        const std::string beingWritten = "." + sample_->name + ".lyparser-safe-";
        for (const std::string& name : folder_->Names()) {
            const std::string path = folder_->File(name);
            if (name == sample_->name) continue;
            if (name.rfind(finished, 0) == 0) {
                EXPECT_TRUE(ReadWhole(path) == sample_->saved) << when;
            } else if (name.rfind(beingWritten, 0) != 0 || HasUnnamedFiles(folder_->path())) {
                ADD_FAILURE() << when << " left " << name;
                continue;
            }
            std::printf("NOTE: %s left %s\n", when.c_str(), name.c_str());
            std::remove(path.c_str());
        }
    }

    const Sample* sample_ = nullptr;
    std::unique_ptr<TempDir> folder_;
    std::string path_;
};

TEST_F(SaveInterruptionTest, KillAtAnyMomentLeavesTheOldOrTheNewFile) {
    for (LargeFormat format : kFormats) {
        if (!Prepare(format)) continue;
        int keptOld = 0, madeNew = 0;
        bool fileIsOriginal = true;
        for (int moment = 0; moment < kKillMoments; ++moment) {
            const Seconds delay = sample_->saveTime * (1.2 * moment / (kKillMoments - 1));
            const std::string when = sample_->name + " killed " +
                                     std::to_string(static_cast<int>(delay.count() * 1000)) +
                                     " ms into the save";
            if (!fileIsOriginal) WriteSynced(path_, sample_->original);
            ChildSave child(path_, sample_->changes);
            ASSERT_TRUE(child.WaitUntilSaving()) << when;
            std::this_thread::sleep_for(delay);
            child.Kill();
            const Bytes after = ReadWhole(path_);
            fileIsOriginal = after == sample_->original;
            keptOld += fileIsOriginal;
            madeNew += after == sample_->saved;
            EXPECT_TRUE(fileIsOriginal || after == sample_->saved) << when;
            ExpectOnlyTheFileLeft(when);
        }
        std::printf(
            "%s: a save takes %.0f ms; of %d kills, %d left the original, %d the saved file\n",
            sample_->name.c_str(), sample_->saveTime.count() * 1000, kKillMoments, keptOld,
            madeNew);
    }
}

TEST_F(SaveInterruptionTest, FileSizeLimitFailsTheSaveWithoutKillingTheHost) {
    for (LargeFormat format : kFormats) {
        if (!Prepare(format)) continue;
        const size_t oldSize = sample_->original.size(), newSize = sample_->saved.size();
        for (size_t limit : {oldSize / 2, oldSize + (newSize - oldSize) / 2}) {
            const std::string when =
                sample_->name + " with a limit of " + std::to_string(limit) + " bytes";
            WriteBytes(path_, sample_->original);
            // SIGXFSZ as a host that never heard of it has it: killing the process.
            const int status = RunInChild([&] {
                struct rlimit size;
                getrlimit(RLIMIT_FSIZE, &size);
                size.rlim_cur = limit;
                if (signal(SIGXFSZ, SIG_DFL) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &size) != 0)
                    return 10;
                OpenedFile file(path_);
                if (!file.get()) return 11;
                Change(file.get(), sample_->changes);
                const int saved = TagParserApplyFile(file.get());
                sigset_t blocked;
                pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
                return sigismember(&blocked, SIGXFSZ) ? 12 : saved;
            });
            EXPECT_EQ(status, 0) << when << " (-1: killed, 1: saved, 12: SIGXFSZ left blocked)";
            EXPECT_TRUE(ReadWhole(path_) == sample_->original) << when;
            ExpectNothingLeft(when);
        }
    }
}

// The invocation numbers, among all calls of `call` in an strace log of one
// process, of the calls asking for 64 KiB or more: the copy of the original.
std::vector<int> LargeReads(const std::string& log, const std::string& call) {
    std::vector<int> numbers;
    int number = 0;
    size_t at = 0;
    for (size_t end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = log.substr(at, end - at);
        if (line.rfind(call + "(", 0) != 0) continue;
        ++number;
        // read(fd, data, count), copy_file_range(in, [offset], out, NULL,
        // count, flags): the count is the last or second-last argument; the
        // data may hold commas.
        const size_t result = line.rfind(") = ");
        if (result == std::string::npos) continue;
        size_t comma = line.rfind(", ", result);
        if (call != "read" && comma != std::string::npos) comma = line.rfind(", ", comma - 1);
        if (comma != std::string::npos && std::stoll(line.substr(comma + 2)) >= 64 * 1024)
            numbers.push_back(number);
    }
    return numbers;
}

TEST_F(SaveInterruptionTest, ReadErrorWhileCopyingFailsTheSaveAndLeavesTheFile) {
    const std::string strace = "/usr/bin/strace";
    if (access(strace.c_str(), X_OK) != 0)
        GTEST_SKIP() << "strace is missing (./dev.sh installs it)";
    TempDir logs;
    const std::string log = logs.File("reads.log");
    for (LargeFormat format : kFormats) {
        if (!Prepare(format)) continue;
        // MP3 and WMA have the kernel copy the original, Ogg reads it through stdio.
        const std::string call = format == LargeFormat::kOggVorbis ? "read" : "copy_file_range";
        std::vector<std::string> save = {LY_SAVE_FILE_PATH, path_};
        for (const auto& [key, value] : sample_->changes) save.push_back(key + "=" + value);
        auto traced = [&](std::vector<std::string> options) {
            options.insert(options.begin(), strace);
            // LeakSanitizer cannot work under ptrace; the environment's
            // options would override the program's own default.
            options.insert(options.begin(), {"/usr/bin/env", "ASAN_OPTIONS=detect_leaks=0"});
            options.insert(options.end(), save.begin(), save.end());
            return RunCommand(options);
        };

        // A traced save that works numbers the reads; it saves what the child saves.
        CommandResult counted = traced({"-qq", "-e", "trace=" + call, "-o", log});
        ASSERT_EQ(counted.out, "1\n") << sample_->name << ": " << counted.err;
        EXPECT_TRUE(ReadWhole(path_) == sample_->saved) << sample_->name;
        const Bytes logText = ReadWhole(log);
        const std::vector<int> copies =
            LargeReads(std::string(logText.begin(), logText.end()), call);
        ASSERT_GE(copies.size(), 8u) << sample_->name << ": too few large reads to aim between";

        const std::string failing = std::to_string(copies[copies.size() / 2]);
        const std::string when = sample_->name + ", " + call + " number " + failing + " failing";
        WriteBytes(path_, sample_->original);
        // strace injects only into calls it traces: their log goes nowhere.
        CommandResult failed = traced({"-f", "-qq", "-o", "/dev/null", "-e", "trace=" + call, "-e",
                                       "inject=" + call + ":error=EIO:when=" + failing});
        EXPECT_EQ(failed.status, 0) << when << ": " << failed.err;
        EXPECT_EQ(failed.out, "0\n") << when;
        EXPECT_TRUE(ReadWhole(path_) == sample_->original) << when;
        ExpectNothingLeft(when);
    }
}

}  // namespace
