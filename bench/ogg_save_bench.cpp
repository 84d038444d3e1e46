// Saving new comments into a 100 MB Ogg Vorbis file (title changed, a 100 KB
// comment added so the header grows past its pages), through the module's
// exports, against `cp` of the same file and TagLib's Ogg::Vorbis::File making
// the same change, in one run. A 100 MB Opus file saved twice: with the same
// change (its later pages renumbered) and with a title change alone (the
// header fits its pages, the audio is copied by the kernel), against copying
// the file and syncing the copy, the floor of any save that leaves the old
// file or the new one. Then the peak resident memory of a save, in a fresh
// process, for a 5-second Vorbis file and for the 100 MB files.
//
//   ogg_save_bench [benchmark flags]      the comparison and the memory check
//   ogg_save_bench --save-once FILE       one save; prints the process's peak RSS
#include <fcntl.h>
#include <ogg/ogg.h>
#include <spawn.h>
#include <sys/wait.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_support.h"
#include "lyParser.h"
#include "tools/samples/ogg_sample.h"

extern char** environ;

namespace {

const std::string kFolder = (std::filesystem::temp_directory_path() / "ly-ogg-save-bench").string();
const std::string kLarge = kFolder + "/large.ogg", kShort = kFolder + "/short.ogg",
                  kWork = kFolder + "/work.ogg";
const std::string kOpus = kFolder + "/large.opus", kOpusWork = kFolder + "/work.opus";
constexpr size_t kLargeBytes = 100u * 1000 * 1000;
const std::string kBigComment(100 * 1024, 'c');

void WritePage(std::FILE* out, const ogg_page& page) {
    std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), out);
    std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), out);
}

// Writes a stream of at least `bytes`: a 10-second stereo encoding whose audio
// packets repeat, granules carried on, so the file is valid however long.
void WriteLongOgg(const std::string& path, size_t bytes, double seconds) {
    VorbisPackets packets =
        EncodeVorbisTone(seconds, 44100, 2, 0.9f, {"TITLE=Long", "ARTIST=Bench"});
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);
    ogg_page page;
    long number = 0;
    auto submit = [&](const OggBytes& data, int64_t granule, bool last) {
        SubmitVorbisPacket(&stream, data, granule, number++, last);
    };
    submit(packets.identification, 0, false);
    submit(packets.comment, 0, false);
    submit(packets.setup, 0, false);
    while (ogg_stream_flush(&stream, &page)) WritePage(out, page);
    int64_t span = packets.audio.back().granule, offset = 0;
    size_t written = 0;
    do {
        for (size_t i = 0; i < packets.audio.size(); ++i) {
            const auto& audio = packets.audio[i];
            submit(audio.data, audio.granule + offset, false);
            while (ogg_stream_pageout(&stream, &page)) {
                WritePage(out, page);
                written += static_cast<size_t>(page.header_len + page.body_len);
            }
        }
        offset += span;
    } while (written < bytes);
    submit(packets.audio.back().data, offset, true);
    while (ogg_stream_flush(&stream, &page)) WritePage(out, page);
    ogg_stream_clear(&stream);
    std::fclose(out);
}

void CopyFile(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

int Run(const std::vector<std::string>& args, std::string* output = nullptr) {
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    pid_t pid;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    char buffer[256];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof(buffer))) > 0) {
        if (output) output->append(buffer, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteLongOpus(const std::string& path, size_t bytes) {
    OpusSampleLayout layout;
    layout.frameBytes = 320;  // 128 kbit/s
    layout.seconds = static_cast<double>(bytes) / (320 * 50);
    layout.comments = {"TITLE=Long", "ARTIST=Bench"};
    const OggBytes data = MakeOggOpus(layout);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), out);
    std::fclose(out);
}

// Copies `from` to a new file `to` as cp does (the kernel moving the bytes)
// and syncs the copy: what any save that keeps the old file whole pays.
bool CopyAndSync(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = in >= 0 && out >= 0;
    for (ssize_t done = 1; ok && done > 0;) {
        done = ::copy_file_range(in, nullptr, out, nullptr, 64 << 20, 0);
        ok = done >= 0;
    }
    ok = ok && ::fsync(out) == 0;
    if (out >= 0) ::close(out);
    if (in >= 0) ::close(in);
    return ok;
}

// Puts `work` back as a synced copy of `original`, untimed, so that a timed
// step starts with a clean page cache and no write-back of earlier work.
void Restore(const std::string& original, const std::string& work) {
    ::unlink(work.c_str());
    CopyAndSync(original, work);
    ::sync();
}

bool SaveThroughModule(const std::string& path, bool grow = true) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return false;
    TagParserSetDataW(handle, 0, L"A changed title");
    if (grow) TagParserSetExData(handle, "NOTES", kBigComment.c_str());
    int saved = TagParserApplyFile(handle);
    TagParserCloseFile(handle);
    return saved == 1;
}

void Ours(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        CopyFile(kLarge, kWork);
        state.ResumeTiming();
        if (!SaveThroughModule(kWork)) state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * std::filesystem::file_size(kLarge)));
}

void TagLibSave(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        CopyFile(kLarge, kWork);
        state.ResumeTiming();
        TagLib::Ogg::Vorbis::File file(kWork.c_str(), false);
        file.tag()->setTitle("A changed title");
        file.tag()->addField("NOTES", TagLib::String(kBigComment, TagLib::String::UTF8));
        if (!file.save()) state.SkipWithError("TagLib save failed");
    }
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * std::filesystem::file_size(kLarge)));
}

void Cp(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(kWork);
        state.ResumeTiming();
        if (Run({"/bin/cp", kLarge, kWork}) != 0) state.SkipWithError("cp failed");
    }
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * std::filesystem::file_size(kLarge)));
}

void OpusSave(benchmark::State& state, bool grow) {
    for (auto _ : state) {
        state.PauseTiming();
        Restore(kOpus, kOpusWork);
        state.ResumeTiming();
        if (!SaveThroughModule(kOpusWork, grow)) state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * std::filesystem::file_size(kOpus)));
}

void CopySync(benchmark::State& state) {
    const std::string copy = kFolder + "/copy.opus";
    for (auto _ : state) {
        state.PauseTiming();
        Restore(kOpus, kOpusWork);
        ::unlink(copy.c_str());
        state.ResumeTiming();
        if (!CopyAndSync(kOpusWork, copy)) state.SkipWithError("copy failed");
    }
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * std::filesystem::file_size(kOpus)));
}

// A line of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); -1 when missing.
long StatusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    }
    return -1;
}

struct SaveMemory {
    long before = -1;  // resident KiB of the process, libraries loaded, before the save
    long peak = -1;    // its peak resident KiB once the save is done
};

// One save in a fresh process, so that nothing of this one counts.
SaveMemory MemoryOfSave(const std::string& original) {
    CopyFile(original, kWork);
    std::string output;
    SaveMemory memory;
    if (Run({"/proc/self/exe", "--save-once", kWork}, &output) != 0) return memory;
    std::sscanf(output.c_str(), "%ld %ld", &memory.before, &memory.peak);
    return memory;
}

int MemoryCheck() {
    SaveMemory small = MemoryOfSave(kShort), large = MemoryOfSave(kLarge),
               opus = MemoryOfSave(kOpus);
    long smallSave = small.peak - small.before, largeSave = large.peak - large.before;
    long opusSave = opus.peak - opus.before;
    long difference = std::labs(large.peak - small.peak);
    bool met = small.peak > 0 && large.peak > 0 && opus.peak > 0 && largeSave <= 8 * 1024 &&
               opusSave <= 8 * 1024 && difference < 1024;
    std::printf(
        "PEAK RSS: 5-second file %ld KiB (process before the save %ld KiB, so the save %ld KiB); "
        "100 MB file %ld KiB (before %ld KiB, save %ld KiB); 100 MB Opus file save %ld KiB; "
        "difference of peaks %ld KiB (target: saves at most 8192 KiB, difference under 1024 KiB): "
        "%s\n",
        small.peak, small.before, smallSave, large.peak, large.before, largeSave, opusSave,
        difference, met ? "met" : "MISSED");
    return met ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--save-once") == 0) {
        TagParserInitialize(nullptr);
        long before = StatusKiB("VmRSS:");
        bool saved = SaveThroughModule(argv[2]);
        TagParserFinalize();
        std::printf("%ld %ld\n", before, StatusKiB("VmHWM:"));
        return saved ? 0 : 1;
    }
    std::filesystem::create_directories(kFolder);
    WriteLongOgg(kLarge, kLargeBytes, 10);
    WriteLongOgg(kShort, 0, 5);
    WriteLongOpus(kOpus, kLargeBytes);
    TagParserInitialize(nullptr);
    AlternateRounds(3, {{"ogg_save/ours/100MB", Ours},
                        {"ogg_save/cp/100MB", Cp},
                        {"ogg_save/taglib/100MB", TagLibSave},
                        {"ogg_save/ours/opus_renumbered_100MB", [](auto& s) { OpusSave(s, true); }},
                        {"ogg_save/ours/opus_fits_100MB", [](auto& s) { OpusSave(s, false); }},
                        {"ogg_save/copy_sync/opus_100MB", CopySync}});
    // Ratios of speeds: 0.667 is a save taking at most 1.5 times the copy.
    int status = RunWithRatios(
        argc, argv,
        {{"ogg_save/ours/100MB", "ogg_save/cp/100MB", "bytes_per_second", 0.1, "MB/s"},
         {"ogg_save/ours/100MB", "ogg_save/taglib/100MB", "bytes_per_second", 1.5, "MB/s"},
         {"ogg_save/ours/opus_renumbered_100MB", "ogg_save/copy_sync/opus_100MB",
          "bytes_per_second", 0.667, "MB/s"},
         {"ogg_save/ours/opus_fits_100MB", "ogg_save/copy_sync/opus_100MB", "bytes_per_second",
          0.667, "MB/s"}});
    TagParserFinalize();
    status |= MemoryCheck();
    std::filesystem::remove_all(kFolder);
    return status;
}
