// MP3 opening and the audio-range search, each against its reference in the
// same run:
// - 1000 small tagged MP3 files: open + ids 0 to 13 + description kind 0 +
//   close through the exports, against TagLib's FileRef opening the same
//   files with audio properties (Average) and reading the same fields of the
//   ID3v1 and ID3v2 tags. Target: 0.9 of TagLib's files per second.
// - GetSourceLength on an open file whose ID3v2 tag holds a 4 MB picture,
//   against the same file without the picture: the search starts after the
//   tag, so it must not read the picture (target: 0.9 of the rate).
#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "lyParser.h"
#include "tools/samples/mpeg_sample.h"

namespace {

const std::string kFolder = (std::filesystem::temp_directory_path() / "ly-mpeg-bench").string();
constexpr int kFiles = 1000;

void Append(MpegBytes* out, const MpegBytes& more) { out->insert(out->end(), more.begin(), more.end()); }

std::string WriteFile(const std::string& name, const MpegBytes& bytes) {
    std::string path = kFolder + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<std::string> MakeFiles() {
    std::filesystem::create_directories(kFolder);
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        std::string n = std::to_string(i);
        MpegBytes bytes = MakeId3v23Tag({{"TIT2", "Song " + n},
                                         {"TPE1", "Artist"},
                                         {"TALB", "Album"},
                                         {"TYER", "2001"},
                                         {"TCON", "(17)"},
                                         {"COMM", std::string("eng\0Nice", 8)},
                                         {"TRCK", std::to_string(i % 20 + 1)}});
        Append(&bytes, MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, 24));
        Append(&bytes, MakeId3v1Tag("Song " + n, "Artist", "Album", "2001", "Nice", i % 20 + 1, 17));
        paths.push_back(WriteFile("song" + n + ".mp3", bytes));
    }
    return paths;
}

const std::vector<std::string>& Files() {
    static const std::vector<std::string> paths = MakeFiles();
    return paths;
}

void Ours(benchmark::State& state) {
    const auto& paths = Files();
    size_t characters = 0;
    for (auto _ : state) {
        for (const auto& path : paths) {
            IBaseTag* handle = TagParserOpenFile(path.c_str());
            for (int id = 0; id <= 13; ++id) characters += TagParserGetData(handle, id).size();
            characters += TagParserGetDescription(handle, 0, "", 0).size();
            TagParserCloseFile(handle);
        }
    }
    benchmark::DoNotOptimize(characters);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFiles);
}

size_t FieldCharacters(const TagLib::Tag* tag) {
    if (!tag) return 0;
    return tag->title().size() + tag->artist().size() + tag->album().size() + tag->genre().size() +
           tag->comment().size() + tag->year() + tag->track();
}

void TagLibRead(benchmark::State& state) {
    const auto& paths = Files();
    size_t characters = 0;
    for (auto _ : state) {
        for (const auto& path : paths) {
            TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Average);
            auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file.file());
            characters += FieldCharacters(mpeg->ID3v1Tag()) + FieldCharacters(mpeg->ID3v2Tag());
            characters += file.tag()->title().size() + file.tag()->artist().size();
        }
    }
    benchmark::DoNotOptimize(characters);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFiles);
}

// One file with an APIC of `pictureBytes` in its ID3v2.3 tag.
std::string PictureFile(const std::string& name, size_t pictureBytes) {
    MpegBytes picture = {0};
    for (char c : std::string("image/jpeg")) picture.push_back(static_cast<unsigned char>(c));
    picture.insert(picture.end(), {0, 3, 0});
    picture.resize(picture.size() + pictureBytes, 0x5A);
    MpegBytes frame = {'A', 'P', 'I', 'C'};
    for (int shift = 24; shift >= 0; shift -= 8) frame.push_back(static_cast<unsigned char>(picture.size() >> shift));
    frame.insert(frame.end(), {0, 0});
    Append(&frame, picture);
    MpegBytes tag = {'I', 'D', '3', 3, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<unsigned char>((frame.size() >> shift) & 0x7F));
    Append(&tag, frame);
    Append(&tag, MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, 24));
    return WriteFile(name, tag);
}

void SourceLength(benchmark::State& state, size_t pictureBytes) {
    static std::string withPicture = PictureFile("picture.mp3", 4u << 20);
    static std::string withoutPicture = PictureFile("nopicture.mp3", 16);
    IBaseTag* handle = TagParserOpenFile((pictureBytes ? withPicture : withoutPicture).c_str());
    int total = 0;
    for (auto _ : state) {
        int start = 0, end = 0;
        total += TagParserGetSourceLength(handle, &start, &end);
    }
    benchmark::DoNotOptimize(total);
    TagParserCloseFile(handle);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

// Opening (with the audio search) a file named .mp3 that holds `size` zero
// bytes: a sparse file, so nothing is on disk. Reading is bounded, so 4 GiB
// opens about as fast as 4 MiB.
void OpenZeros(benchmark::State& state, long long size) {
    std::string path = kFolder + "/zeros" + std::to_string(size) + ".mp3";
    std::ofstream(path, std::ios::binary).close();
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size));
    for (auto _ : state) {
        IBaseTag* handle = TagParserOpenFile(path.c_str());
        int start = 0, end = 0;
        benchmark::DoNotOptimize(TagParserGetSourceLength(handle, &start, &end));
        TagParserCloseFile(handle);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

}  // namespace

int main(int argc, char** argv) {
    TagParserInitialize(nullptr);
    Files();
    AlternateRounds(5, {{"mpeg_open/ours/1000files", Ours},
                        {"mpeg_open/taglib/1000files", TagLibRead},
                        {"source_length/4MB_picture", [](benchmark::State& s) { SourceLength(s, 1); }},
                        {"source_length/no_picture", [](benchmark::State& s) { SourceLength(s, 0); }},
                        {"open_zeros/4GiB", [](benchmark::State& s) { OpenZeros(s, 4LL << 30); }},
                        {"open_zeros/4MiB", [](benchmark::State& s) { OpenZeros(s, 4LL << 20); }}});
    int status = RunWithRatios(
        argc, argv,
        {{"mpeg_open/ours/1000files", "mpeg_open/taglib/1000files", "items_per_second", 0.9, "files/s"},
         {"source_length/4MB_picture", "source_length/no_picture", "items_per_second", 0.9, "calls/s"},
         // For information: the time to open 4 GiB of zeros, beside 4 MiB.
         {"open_zeros/4GiB", "open_zeros/4MiB", "items_per_second", 0, "opens/s"}});
    TagParserFinalize();
    std::filesystem::remove_all(kFolder);
    return status;
}
