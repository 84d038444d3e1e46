// Saving a changed tag into a 100 MB file through the module's exports, which
// write the whole new file beside the original, sync it and rename it over
// the original: an MP3 whose ID3v2 tag grows past its padding, an MP3 whose
// change fits in its padding, a WMA with an attribute changed, a FLAC whose
// comments grow past its padding, and an M4A whose metadata grows in front of
// the audio (every chunk offset moves). Each is
// compared, in the same run and in alternation, with the floor any save that
// leaves either the old or the new file pays: copying the same file to a new
// file in the same folder and syncing the copy. On a file system that shares
// blocks between files (XFS with reflink=1, btrfs) that floor is the copy
// `cp --reflink=always` makes (FICLONE) and its sync. TagLib's own in-place
// MP3 save (no sync, the file half-written if it stops midway) is shown
// beside, without a target, and, where blocks are shared, the floor of any
// save that renames a new file over the original: the reflink copy, its sync,
// the rename and the folder's sync.
//
// Every file lives in one folder under the temporary folder (TMPDIR: bench/run
// points it at a mounted XFS or btrfs for their tables). Before each timed
// save the file is put back as it was made, sharing no blocks with another
// file, and synced, untimed, so every save (and the copy) reads a file that
// is in the page cache and clean, and no write-back of earlier work runs
// during the timed part.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "lyParser.h"
#include "tools/samples/flac_sample.h"
#include "tools/samples/mp4_sample.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/wma_sample.h"

namespace {

const std::string kFolder = (std::filesystem::temp_directory_path() / "ly-save-bench").string();
const std::string kGrowsMp3 = kFolder + "/grows.mp3", kFitsMp3 = kFolder + "/fits.mp3";
const std::string kLargeWma = kFolder + "/large.wma";
const std::string kLargeFlac = kFolder + "/large.flac", kLargeM4a = kFolder + "/large.m4a";
const std::string kWorkMp3 = kFolder + "/work.mp3", kWorkWma = kFolder + "/work.wma";
const std::string kWorkFlac = kFolder + "/work.flac", kWorkM4a = kFolder + "/work.m4a";
const std::string kCopy = kFolder + "/copy.mp3";
constexpr size_t kLargeBytes = 100u * 1000 * 1000;
constexpr size_t kCopyBuffer = 1024 * 1024;

// Two ID3v2 comments of the same length, used in turn so each save changes the
// file: larger than the padding of one MP3, smaller than the other's.
const std::string kComments[2] = {std::string(32 * 1024, 'a'), std::string(32 * 1024, 'b')};

int OpenOrDie(const std::string& path, int flags, mode_t mode = 0) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(2);
    }
    return fd;
}

// How a copy is made: by the kernel where it can (copy_file_range, what cp
// does on a file system without reflinks), through a 1 MiB read/write loop,
// or by sharing the file's blocks (FICLONE, what cp --reflink=always does).
enum class Copy { kKernel, kBytes, kReflink };

// Copies `from` into a new file `to` as `how` says; syncs the copy when `sync`
// is set. False on any failure.
bool CopyFile(const std::string& from, const std::string& to, bool sync, Copy how = Copy::kKernel) {
    int in = OpenOrDie(from, O_RDONLY);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = out >= 0;
    bool kernelCopy = how == Copy::kKernel;
    if (ok && how == Copy::kReflink) ok = ::ioctl(out, FICLONE, in) == 0;
    std::unique_ptr<char[]> buffer;
    while (ok && how != Copy::kReflink) {
        ssize_t done = -1;
        if (kernelCopy) {
            done = ::copy_file_range(in, nullptr, out, nullptr, 64 * kCopyBuffer, 0);
            if (done < 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                kernelCopy = false;
                continue;
            }
        } else {
            if (!buffer) buffer.reset(new char[kCopyBuffer]);
            done = ::read(in, buffer.get(), kCopyBuffer);
            for (ssize_t at = 0; done > 0 && at < done;) {
                ssize_t put = ::write(out, buffer.get() + at, static_cast<size_t>(done - at));
                if (put <= 0) {
                    done = -1;
                    break;
                }
                at += put;
            }
        }
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            ok = done == 0;
            break;
        }
    }
    ok = ok && (!sync || ::fsync(out) == 0);
    if (out >= 0 && ::close(out) != 0) ok = false;
    ::close(in);
    return ok;
}

// True when the bench folder's file system shares blocks between files.
bool Reflinks() {
    static const bool reflinks = [] {
        const bool cloned = CopyFile(kGrowsMp3, kCopy, false, Copy::kReflink);
        ::unlink(kCopy.c_str());
        return cloned;
    }();
    return reflinks;
}

// Puts `work` back as a fresh copy of `original`, on disk and in the page
// cache, and lets the file system settle, so a timed step starts clean.
void Restore(const std::string& original, const std::string& work) {
    ::unlink(work.c_str());
    // Where a copy by the kernel would share the original's blocks, the
    // bytes are written: a user's file shares nothing.
    if (!CopyFile(original, work, true, Reflinks() ? Copy::kBytes : Copy::kKernel)) {
        std::perror(work.c_str());
        std::exit(2);
    }
    int folder = OpenOrDie(kFolder, O_RDONLY | O_DIRECTORY);
    ::syncfs(folder);
    if (Reflinks()) {
        // The release of the file removed above goes on in the background
        // (XFS): it is let finish, so that no timed sync waits for it.
        ::usleep(20000);
        ::syncfs(folder);
    }
    ::close(folder);
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
        std::fclose(out) != 0) {
        std::perror(path.c_str());
        std::exit(2);
    }
}

// An ID3v2.3 tag with a few text frames and `padding` zero bytes, then MPEG
// frames up to about 100 MB, no ID3v1 tag.
void WriteMp3(const std::string& path, size_t padding) {
    MpegBytes file = MakeId3v23Tag({{"TIT2", "Bench Title"},
                                    {"TPE1", "Bench Artist"},
                                    {"TALB", "Bench Album"},
                                    {"TYER", "2024"},
                                    {"TRCK", "1/9"}});
    file.resize(file.size() + padding, 0);
    uint32_t body = static_cast<uint32_t>(file.size() - 10);
    for (int i = 0; i < 4; ++i)
        file[6 + i] = static_cast<unsigned char>((body >> (21 - 7 * i)) & 0x7F);
    MpegBytes frames = MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k,
                                      static_cast<int>(kLargeBytes / kMp3FrameLength128k));
    file.insert(file.end(), frames.begin(), frames.end());
    WriteBytes(path, file);
}

void WriteWma(const std::string& path) {
    asf::FileLayout layout;
    layout.hasContentDescription = true;
    layout.content = {u"Bench Title", u"Bench Artist", u"", u"", u""};
    layout.attributes = {asf::Attribute::Text(u"WM/AlbumTitle", u"Bench Album"),
                         asf::Attribute::Text(u"WM/Year", u"2024")};
    layout.packetSize = 8192;
    layout.packets = static_cast<uint32_t>(kLargeBytes / layout.packetSize);
    WriteBytes(path, asf::MakeFile(layout));
}

// Ten comments and 8 KiB of padding, then about 100 MB standing for the audio.
void WriteFlac(const std::string& path) {
    WriteBytes(path,
               MakeFlac({{4, FlacComments({"TITLE=Bench Title", "ARTIST=Bench Artist",
                                           "ALBUM=Bench Album", "DATE=2024", "TRACKNUMBER=1"})},
                         {1, SampleBytes(8192)}},
                        kLargeBytes));
}

// The movie atom, with a chunk offset every 4 KiB of audio, before about
// 100 MB of audio.
void WriteM4a(const std::string& path) {
    Mp4Layout layout;
    layout.audioBytes = kLargeBytes;
    layout.chunkBytes = 4096;
    layout.items = {Mp4TextItem("\xA9nam", "Bench Title"), Mp4TextItem("\xA9"
                                                                       "ART",
                                                                       "Bench Artist")};
    WriteBytes(path, MakeMp4(layout));
}

void CountBytes(benchmark::State& state, const std::string& path) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
}

// Opens, sets one field, applies and closes through the exports; the MP3
// parser writes only the tags its mask names, so ID3v2 is asked for.
bool SaveThroughModule(const std::string& path, bool mp3, int field, const char* value) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return false;
    if (mp3) TagParserSetData(handle, FIELD_HAS_ID3V2, "Y");
    TagParserSetData(handle, field, value);
    int saved = TagParserApplyFile(handle);
    TagParserCloseFile(handle);
    return saved == 1;
}

void SaveLoop(benchmark::State& state, const std::string& original, const std::string& work,
              bool mp3, int field, const char* const values[2]) {
    int turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Restore(original, work);
        state.ResumeTiming();
        if (!SaveThroughModule(work, mp3, field, values[turn++ % 2])) {
            state.SkipWithError("TagParserApplyFile did not return 1");
            break;
        }
    }
    // Room for the next format's copy and save, on a small file system.
    ::unlink(work.c_str());
    CountBytes(state, original);
}

const char* const kMp3Values[2] = {kComments[0].c_str(), kComments[1].c_str()};
const char* const kWmaValues[2] = {"Changed Album A", "Changed Album B"};

void Mp3TagGrows(benchmark::State& state) {
    SaveLoop(state, kGrowsMp3, kWorkMp3, true, FIELD_COMMENT2, kMp3Values);
}

void Mp3TagFitsPadding(benchmark::State& state) {
    SaveLoop(state, kFitsMp3, kWorkMp3, true, FIELD_COMMENT2, kMp3Values);
}

void Wma(benchmark::State& state) {
    SaveLoop(state, kLargeWma, kWorkWma, false, FIELD_ALBUM, kWmaValues);
}

void FlacTagGrows(benchmark::State& state) {
    SaveLoop(state, kLargeFlac, kWorkFlac, false, FIELD_COMMENT, kMp3Values);
}

void M4aGrowsBeforeAudio(benchmark::State& state) {
    SaveLoop(state, kLargeM4a, kWorkM4a, false, FIELD_COMMENT, kMp3Values);
}

// The floor: a copy of the file in the same folder, synced, then removed
// (the save, too, drops a 100 MB file: the original it replaces).
void CpFsync(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Restore(kGrowsMp3, kWorkMp3);
        ::unlink(kCopy.c_str());
        state.ResumeTiming();
        if (!CopyFile(kWorkMp3, kCopy, true)) {
            state.SkipWithError("copy failed");
            break;
        }
        ::unlink(kCopy.c_str());
    }
    CountBytes(state, kGrowsMp3);
}

// The floor where blocks are shared: cp --reflink=always, then a sync.
void CpReflinkFsync(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Restore(kGrowsMp3, kWorkMp3);
        ::unlink(kCopy.c_str());
        state.ResumeTiming();
        if (!CopyFile(kWorkMp3, kCopy, true, Copy::kReflink)) {
            state.SkipWithError("reflink copy failed");
            break;
        }
        ::unlink(kCopy.c_str());
    }
    CountBytes(state, kGrowsMp3);
}

// What any save that puts a new file in the original's place pays where
// blocks are shared: the reflink copy and its sync, the rename over the
// original (which releases it) and the folder's sync.
void ReflinkRenameFsync(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Restore(kGrowsMp3, kWorkMp3);
        state.ResumeTiming();
        bool done = CopyFile(kWorkMp3, kCopy, true, Copy::kReflink) &&
                    ::rename(kCopy.c_str(), kWorkMp3.c_str()) == 0;
        int folder = OpenOrDie(kFolder, O_RDONLY | O_DIRECTORY);
        done = ::fsync(folder) == 0 && done;
        ::close(folder);
        if (!done) {
            state.SkipWithError("reflink copy and rename failed");
            break;
        }
    }
    CountBytes(state, kGrowsMp3);
}

// TagLib writing into the file itself: the tag grows, so it moves the audio
// within the file; nothing is synced (that is done untimed afterwards, so its
// write-back does not land on the next measurement).
void TagLibInPlaceMp3(benchmark::State& state) {
    int turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Restore(kGrowsMp3, kWorkMp3);
        state.ResumeTiming();
        {
            TagLib::MPEG::File file(kWorkMp3.c_str(), false);
            file.ID3v2Tag(true)->setComment(
                TagLib::String(kComments[turn++ % 2], TagLib::String::Latin1));
            if (!file.save()) {
                state.SkipWithError("TagLib save failed");
                break;
            }
        }
        state.PauseTiming();
        int fd = OpenOrDie(kWorkMp3, O_RDONLY);
        ::fsync(fd);
        ::close(fd);
        state.ResumeTiming();
    }
    CountBytes(state, kGrowsMp3);
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::create_directories(kFolder);
    WriteMp3(kGrowsMp3, 1024);
    WriteMp3(kFitsMp3, 64 * 1024);
    WriteWma(kLargeWma);
    WriteFlac(kLargeFlac);
    WriteM4a(kLargeM4a);
    TagParserInitialize(nullptr);
    // A target of 0 marks a figure shown for information only. Where blocks
    // are shared, every save is held to twice the reflink copy.
    const bool reflinks = Reflinks();
    const std::string floor = reflinks ? "save/cp_reflink_fsync" : "save/cp_fsync";
    const double mp3Target = reflinks ? 0.50 : 0.67, wmaTarget = reflinks ? 0.50 : 0.40;
    const double otherTarget = reflinks ? 0.50 : 0.67;
    std::vector<std::pair<std::string, std::function<void(benchmark::State&)>>> rounds = {
        {"save/mp3_tag_grows", Mp3TagGrows},
        {floor, reflinks ? CpReflinkFsync : CpFsync},
        {"save/mp3_tag_fits_padding", Mp3TagFitsPadding},
        {"save/wma", Wma},
        {"save/flac_tag_grows", FlacTagGrows},
        {"save/m4a_grows_before_audio", M4aGrowsBeforeAudio},
        {"save/taglib_inplace_mp3", TagLibInPlaceMp3}};
    std::vector<RatioPair> ratios = {
        {"save/mp3_tag_grows", floor, "bytes_per_second", mp3Target, "MB/s"},
        {"save/mp3_tag_fits_padding", floor, "bytes_per_second", mp3Target, "MB/s"},
        {"save/wma", floor, "bytes_per_second", wmaTarget, "MB/s"},
        {"save/flac_tag_grows", floor, "bytes_per_second", otherTarget, "MB/s"},
        {"save/m4a_grows_before_audio", floor, "bytes_per_second", otherTarget, "MB/s"},
        {"save/taglib_inplace_mp3", floor, "bytes_per_second", 0, "MB/s"}};
    if (reflinks) {
        rounds.push_back({"save/reflink_rename_fsync", ReflinkRenameFsync});
        for (const char* save : {"save/mp3_tag_grows", "save/mp3_tag_fits_padding", "save/wma",
                                 "save/flac_tag_grows", "save/m4a_grows_before_audio"})
            ratios.push_back({save, "save/reflink_rename_fsync", "bytes_per_second", 0, "MB/s"});
    }
    AlternateRounds(5, rounds);
    int status = RunWithRatios(argc, argv, ratios);
    TagParserFinalize();
    std::filesystem::remove_all(kFolder);
    return status;
}
