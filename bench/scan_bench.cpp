// lytag scan over 10,000 small MP3 files: one thread, two threads, and with
// digests, against a program loop that reads the same fields with TagLib's
// FileRef on one thread and prints them too. The same run measures all.
#include <fcntl.h>
#include <sys/wait.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bench/bench_support.h"
#include "tools/samples/mpeg_sample.h"

namespace {

constexpr int kFiles = 10000;
const std::string kFolder = "/tmp/lyparser-scan-bench";

void MakeFiles() {
    std::filesystem::remove_all(kFolder);
    std::filesystem::create_directories(kFolder);
    auto sample = MakeMp3Sample();
    for (int i = 0; i < kFiles; ++i) {
        std::ofstream out(kFolder + "/song" + std::to_string(i) + ".mp3", std::ios::binary);
        out.write(reinterpret_cast<const char*>(sample.data()),
                  static_cast<std::streamsize>(sample.size()));
    }
}

// Runs lytag scan with its output thrown away; false when it failed.
bool RunScan(const char* jobs, bool md5) {
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        if (md5) {
            execl(LY_LYTAG_PATH, LY_LYTAG_PATH, "scan", kFolder.c_str(), "--jobs", jobs, "--md5",
                  static_cast<char*>(nullptr));
        } else {
            execl(LY_LYTAG_PATH, LY_LYTAG_PATH, "scan", kFolder.c_str(), "--jobs", jobs,
                  static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    int raw = 0;
    waitpid(pid, &raw, 0);
    return WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
}

void Scan(benchmark::State& state, const char* jobs, bool md5) {
    for (auto _ : state) {
        if (!RunScan(jobs, md5)) state.SkipWithError("lytag scan failed");
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

// The reference: walk, open with audio properties, read and print the fields.
void TagLibScan(benchmark::State& state) {
    std::FILE* out = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(kFolder)) {
            TagLib::FileRef file(entry.path().c_str(), true, TagLib::AudioProperties::Average);
            if (file.isNull() || !file.tag()) continue;
            int seconds = file.audioProperties() ? file.audioProperties()->lengthInSeconds() : 0;
            std::fprintf(out, "%s\tMP3\t%s - %s\t%d\n", entry.path().c_str(),
                         file.tag()->title().toCString(true), file.tag()->artist().toCString(true),
                         seconds);
        }
    }
    std::fclose(out);
    state.SetItemsProcessed(state.iterations() * kFiles);
}

}  // namespace

int main(int argc, char** argv) {
    MakeFiles();
    AlternateRounds(3, {{"scan/jobs1", [](benchmark::State& s) { Scan(s, "1", false); }},
                        {"scan/jobs2", [](benchmark::State& s) { Scan(s, "2", false); }},
                        {"scan/taglib_fileref", TagLibScan},
                        {"scan/jobs1_md5", [](benchmark::State& s) { Scan(s, "1", true); }}});
    int status =
        RunWithRatios(argc, argv,
                      {{"scan/jobs2", "scan/jobs1", "items_per_second", 1.7, "files/s"},
                       {"scan/jobs1", "scan/taglib_fileref", "items_per_second", 0.8, "files/s"},
                       {"scan/jobs1_md5", "scan/jobs1", "items_per_second", 0.0, "files/s"}});
    std::filesystem::remove_all(kFolder);
    return status;
}
