// Reading FLAC and M4A files: open + ids 0 to 13 + description kind 0 +
// length + close through the exports, against TagLib's FileRef opening the
// same files with audio properties (Average) and reading the same fields and
// the length, on 500 files of each (a dozen text fields, a 20 KB cover, 4 KiB
// of padding, 200 KB standing for the audio). Target: TagLib's files per
// second.
#include <taglib/fileref.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "lyParser.h"
#include "tools/samples/flac_sample.h"
#include "tools/samples/mp4_sample.h"

namespace {

const std::string kFolder = (std::filesystem::temp_directory_path() / "ly-formats-bench").string();
constexpr int kFiles = 500;
constexpr size_t kAudioBytes = 200 * 1000;

std::string WriteFile(const std::string& name, const SampleBytes& bytes) {
    std::string path = kFolder + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

SampleBytes Jpeg(unsigned seed) {
    SampleBytes image = {0xFF, 0xD8, 0xFF, 0xE0};
    const SampleBytes noise = NoiseBytes(20 * 1000, seed);
    image.insert(image.end(), noise.begin(), noise.end());
    return image;
}

std::vector<std::string> MakeFlacFiles() {
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        const std::string n = std::to_string(i);
        const SampleBytes comments = FlacComments(
            {"TITLE=Song " + n, "ARTIST=Artist", "ALBUM=Album", "DATE=2001", "GENRE=Rock",
             "COMMENT=Nice", "TRACKNUMBER=" + std::to_string(i % 20 + 1), "COMPOSER=Composer",
             "DISCNUMBER=1", "REPLAYGAIN_TRACK_GAIN=-3.2 dB", "ENCODER=reference libFLAC"});
        paths.push_back(WriteFile("song" + n + ".flac",
                                  MakeFlac({{4, comments},
                                            {6, FlacPicture(3, "image/jpeg", Jpeg(i + 1))},
                                            {1, SampleBytes(4096)}},
                                           kAudioBytes)));
    }
    return paths;
}

std::vector<std::string> MakeM4aFiles() {
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        const std::string n = std::to_string(i);
        Mp4Layout layout;
        layout.audioBytes = kAudioBytes;
        layout.chunkBytes = 4096;
        const SampleBytes track = {0, 0, 0, static_cast<unsigned char>(i % 20 + 1), 0, 20, 0, 0};
        SampleBytes trackData = {0, 0, 0, 0, 0, 0, 0, 0};
        trackData.insert(trackData.end(), track.begin(), track.end());
        SampleBytes cover = {0, 0, 0, 13, 0, 0, 0, 0};
        const SampleBytes jpeg = Jpeg(i + 1);
        cover.insert(cover.end(), jpeg.begin(), jpeg.end());
        layout.items = {Mp4TextItem("\xA9nam", "Song " + n),
                        Mp4TextItem("\xA9"
                                    "ART",
                                    "Artist"),
                        Mp4TextItem("\xA9"
                                    "alb",
                                    "Album"),
                        Mp4TextItem("\xA9"
                                    "day",
                                    "2001"),
                        Mp4TextItem("\xA9gen", "Rock"),
                        Mp4TextItem("\xA9"
                                    "cmt",
                                    "Nice"),
                        Mp4TextItem("\xA9wrt", "Composer"),
                        Mp4TextItem("\xA9too", "Lavf"),
                        Mp4Atom("trkn", Mp4Atom("data", trackData)),
                        Mp4Atom("covr", Mp4Atom("data", cover)),
                        Mp4Atom("free", SampleBytes(4088))};
        paths.push_back(WriteFile("song" + n + ".m4a", MakeMp4(layout)));
    }
    return paths;
}

const std::vector<std::string>& FlacFiles() {
    static const std::vector<std::string> paths = MakeFlacFiles();
    return paths;
}

const std::vector<std::string>& M4aFiles() {
    static const std::vector<std::string> paths = MakeM4aFiles();
    return paths;
}

void Ours(benchmark::State& state, const std::vector<std::string>& paths) {
    size_t characters = 0;
    for (auto _ : state) {
        for (const auto& path : paths) {
            IBaseTag* handle = TagParserOpenFile(path.c_str());
            for (int id = 0; id <= 13; ++id) characters += TagParserGetData(handle, id).size();
            characters += TagParserGetDescription(handle, 0, "", 0).size();
            characters += TagParserGetFileInfo(handle, INFO_LENGTH_SECONDS).size();
            TagParserCloseFile(handle);
        }
    }
    benchmark::DoNotOptimize(characters);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(paths.size()));
}

void TagLibRead(benchmark::State& state, const std::vector<std::string>& paths) {
    size_t characters = 0;
    for (auto _ : state) {
        for (const auto& path : paths) {
            TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Average);
            const TagLib::Tag* tag = file.tag();
            for (int pass = 0; pass < 2; ++pass) {  // ids 0-6 and 7-13 are the same fields
                characters += tag->title().size() + tag->artist().size() + tag->album().size() +
                              tag->genre().size() + tag->comment().size() + tag->year() +
                              tag->track();
            }
            characters += file.audioProperties()->lengthInSeconds();
        }
    }
    benchmark::DoNotOptimize(characters);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(paths.size()));
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::create_directories(kFolder);
    TagParserInitialize(nullptr);
    AlternateRounds(5,
                    {{"read/flac_ours", [](benchmark::State& s) { Ours(s, FlacFiles()); }},
                     {"read/flac_taglib", [](benchmark::State& s) { TagLibRead(s, FlacFiles()); }},
                     {"read/m4a_ours", [](benchmark::State& s) { Ours(s, M4aFiles()); }},
                     {"read/m4a_taglib", [](benchmark::State& s) { TagLibRead(s, M4aFiles()); }}});
    int status =
        RunWithRatios(argc, argv,
                      {{"read/flac_ours", "read/flac_taglib", "items_per_second", 1.0, "files/s"},
                       {"read/m4a_ours", "read/m4a_taglib", "items_per_second", 1.0, "files/s"}});
    TagParserFinalize();
    std::filesystem::remove_all(kFolder);
    return status;
}
