// MP3 opening and the audio-range search, each against its reference in the
// same run:
// - open + ids 0 to 13 + description kind 0 + close through the exports,
//   against TagLib's FileRef opening the same files with audio properties
//   (Average) and reading the same fields of the ID3v1 and ID3v2 tags, on
//   1000 small tagged MP3 files and on 20 ordinary songs (4 to 10 MB, a cover
//   picture of 200 to 500 KB in the ID3v2 tag). Target: TagLib's files per
//   second.
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

void Append(MpegBytes* out, const MpegBytes& more) {
    out->insert(out->end(), more.begin(), more.end());
}

std::string WriteFile(const std::string& name, const MpegBytes& bytes) {
    std::string path = kFolder + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
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
        Append(&bytes,
               MakeId3v1Tag("Song " + n, "Artist", "Album", "2001", "Nice", i % 20 + 1, 17));
        paths.push_back(WriteFile("song" + n + ".mp3", bytes));
    }
    return paths;
}

const std::vector<std::string>& Files() {
    static const std::vector<std::string> paths = MakeFiles();
    return paths;
}

// Open, the fields and a description, close: through the exports.
void Ours(benchmark::State& state, const std::vector<std::string>& paths) {
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
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(paths.size()));
}

size_t FieldCharacters(const TagLib::Tag* tag) {
    if (!tag) return 0;
    return tag->title().size() + tag->artist().size() + tag->album().size() + tag->genre().size() +
           tag->comment().size() + tag->year() + tag->track();
}

void TagLibRead(benchmark::State& state, const std::vector<std::string>& paths) {
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
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(paths.size()));
}

// An APIC frame (ID3v2.3) holding `pictureBytes` of picture data.
MpegBytes PictureFrame(size_t pictureBytes) {
    MpegBytes picture = {0};
    for (char c : std::string("image/jpeg")) picture.push_back(static_cast<unsigned char>(c));
    picture.insert(picture.end(), {0, 3, 0});
    uint32_t state = static_cast<uint32_t>(pictureBytes);
    for (size_t i = 0; i < pictureBytes; ++i) {
        state = state * 1664525u + 1013904223u;
        picture.push_back(static_cast<unsigned char>(state >> 24));
    }
    MpegBytes frame = {'A', 'P', 'I', 'C'};
    for (int shift = 24; shift >= 0; shift -= 8)
        frame.push_back(static_cast<unsigned char>(picture.size() >> shift));
    frame.insert(frame.end(), {0, 0});
    Append(&frame, picture);
    return frame;
}

// An ID3v2.3 tag around `frames`, with `padding` zero bytes.
MpegBytes Id3v23Tag(const MpegBytes& frames, size_t padding) {
    MpegBytes tag = {'I', 'D', '3', 3, 0, 0};
    const size_t size = frames.size() + padding;
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(static_cast<unsigned char>((size >> shift) & 0x7F));
    Append(&tag, frames);
    tag.resize(tag.size() + padding, 0);
    return tag;
}

// Song number `n`: the text fields, a cover of 200 to 500 KB and 2 KiB of
// padding in the ID3v2 tag, 4 to 10 MB of 128 kbit/s frames whose payload
// is noise, and an ID3v1 tag.
std::string WriteSong(int n) {
    const std::string number = std::to_string(n);
    MpegBytes texts = MakeId3v23Tag({{"TIT2", "Song " + number},
                                     {"TPE1", "Artist"},
                                     {"TALB", "Album"},
                                     {"TYER", "2001"},
                                     {"TCON", "(17)"},
                                     {"COMM", std::string("eng\0Nice", 8)},
                                     {"TRCK", std::to_string(n + 1)}});
    MpegBytes frames(texts.begin() + 10, texts.end());
    Append(&frames, PictureFrame((200 + 100 * (n % 4)) * 1000));
    MpegBytes song = Id3v23Tag(frames, 2048);
    const MpegBytes period =
        MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, 64, static_cast<uint32_t>(n) + 1);
    const size_t audio = static_cast<size_t>(4 + n % 7) << 20;
    while (song.size() < audio) Append(&song, period);
    Append(&song, MakeId3v1Tag("Song " + number, "Artist", "Album", "2001", "Nice", n + 1, 17));
    return WriteFile("ordinary" + number + ".mp3", song);
}

constexpr int kSongs = 20;

const std::vector<std::string>& Songs() {
    static const std::vector<std::string> paths = [] {
        std::vector<std::string> written;
        for (int n = 0; n < kSongs; ++n) written.push_back(WriteSong(n));
        return written;
    }();
    return paths;
}

// One file with an APIC of `pictureBytes` in its ID3v2.3 tag.
std::string PictureFile(const std::string& name, size_t pictureBytes) {
    MpegBytes tag = Id3v23Tag(PictureFrame(pictureBytes), 0);
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
    Songs();
    AlternateRounds(
        5, {{"mpeg_open/ours/1000files", [](benchmark::State& s) { Ours(s, Files()); }},
            {"mpeg_open/taglib/1000files", [](benchmark::State& s) { TagLibRead(s, Files()); }},
            {"mpeg_open/ours/20songs", [](benchmark::State& s) { Ours(s, Songs()); }},
            {"mpeg_open/taglib/20songs", [](benchmark::State& s) { TagLibRead(s, Songs()); }},
            {"source_length/4MB_picture", [](benchmark::State& s) { SourceLength(s, 1); }},
            {"source_length/no_picture", [](benchmark::State& s) { SourceLength(s, 0); }},
            {"open_zeros/4GiB", [](benchmark::State& s) { OpenZeros(s, 4LL << 30); }},
            {"open_zeros/4MiB", [](benchmark::State& s) { OpenZeros(s, 4LL << 20); }}});
    int status = RunWithRatios(
        argc, argv,
        {{"mpeg_open/ours/1000files", "mpeg_open/taglib/1000files", "items_per_second", 1.0,
          "files/s"},
         {"mpeg_open/ours/20songs", "mpeg_open/taglib/20songs", "items_per_second", 1.0, "files/s"},
         {"source_length/4MB_picture", "source_length/no_picture", "items_per_second", 0.9,
          "calls/s"},
         // For information: the time to open 4 GiB of zeros, beside 4 MiB.
         {"open_zeros/4GiB", "open_zeros/4MiB", "items_per_second", 0, "opens/s"}});
    TagParserFinalize();
    std::filesystem::remove_all(kFolder);
    return status;
}
