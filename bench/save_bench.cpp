// Saving a changed tag into a 100 MB file through the module's exports, which
// write the whole new file beside the original, sync it and rename it over
// the original: an MP3 whose ID3v2 tag grows past its padding, an MP3 whose
// change fits in its padding, a WMA with an attribute changed, a FLAC whose
// comments grow past its padding, and an M4A whose metadata grows in front of
// the audio (every chunk offset moves). Each is
// compared, in the same run and in alternation, with the floor any save that
// leaves either the old or the new file pays: copying the same file to a new
// file in the same folder and syncing the copy. TagLib's own in-place MP3
// save (no sync, the file half-written if it stops midway) is shown beside,
// without a target.
//
// Every file lives in one folder under the temporary folder. Before each
// timed save the file is put back as it was made and synced, untimed, so
// every save (and the copy) reads a file that is in the page cache and clean,
// and no write-back of earlier work runs during the timed part.
#include <fcntl.h>
#include <sys/stat.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
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

// Two comments of the same length, used in turn so each save changes the file.
const std::string kComments[2] = {std::string(64 * 1024, 'a'), std::string(64 * 1024, 'b')};

int OpenOrDie(const std::string& path, int flags, mode_t mode = 0) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(2);
    }
    return fd;
}

// Copies `from` into a new file `to` the way coreutils cp does on a file
// system without reflinks (copy_file_range, the kernel moving the bytes),
// with a 1 MiB read/write loop where that call is not available; syncs the
// copy when `sync` is set. False on any failure.
bool CopyFile(const std::string& from, const std::string& to, bool sync) {
    int in = OpenOrDie(from, O_RDONLY);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = out >= 0;
    bool kernelCopy = true;
    std::unique_ptr<char[]> buffer;
    while (ok) {
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

// Puts `work` back as a fresh copy of `original`, on disk and in the page
// cache, and lets the file system settle, so a timed step starts clean.
void Restore(const std::string& original, const std::string& work) {
    ::unlink(work.c_str());
    if (!CopyFile(original, work, true)) {
        std::perror(work.c_str());
        std::exit(2);
    }
    int folder = OpenOrDie(kFolder, O_RDONLY | O_DIRECTORY);
    ::syncfs(folder);
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
    asf::FileSpec layout;
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
    CountBytes(state, original);
}

const char* const kMp3Values[2] = {kComments[0].c_str(), kComments[1].c_str()};
const char* const kWmaValues[2] = {"Changed Album A", "Changed Album B"};

void Mp3TagGrows(benchmark::State& state) {
    SaveLoop(state, kGrowsMp3, kWorkMp3, true, FIELD_COMMENT, kMp3Values);
}

void Mp3TagFitsPadding(benchmark::State& state) {
    SaveLoop(state, kFitsMp3, kWorkMp3, true, FIELD_COMMENT, kMp3Values);
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
    AlternateRounds(5, {{"save/mp3_tag_grows", Mp3TagGrows},
                        {"save/cp_fsync", CpFsync},
                        {"save/mp3_tag_fits_padding", Mp3TagFitsPadding},
                        {"save/wma", Wma},
                        {"save/flac_tag_grows", FlacTagGrows},
                        {"save/m4a_grows_before_audio", M4aGrowsBeforeAudio},
                        {"save/taglib_inplace_mp3", TagLibInPlaceMp3}});
    // A target of 0 marks a figure shown for information only.
    int status = RunWithRatios(
        argc, argv,
        {{"save/mp3_tag_grows", "save/cp_fsync", "bytes_per_second", 0.67, "MB/s"},
         {"save/mp3_tag_fits_padding", "save/cp_fsync", "bytes_per_second", 0.67, "MB/s"},
         {"save/wma", "save/cp_fsync", "bytes_per_second", 0.40, "MB/s"},
         {"save/flac_tag_grows", "save/cp_fsync", "bytes_per_second", 0.67, "MB/s"},
         {"save/m4a_grows_before_audio", "save/cp_fsync", "bytes_per_second", 0.67, "MB/s"},
         {"save/taglib_inplace_mp3", "save/cp_fsync", "bytes_per_second", 0, "MB/s"}});
    TagParserFinalize();
    std::filesystem::remove_all(kFolder);
    return status;
}
