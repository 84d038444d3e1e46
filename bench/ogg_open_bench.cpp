// Opening Ogg Vorbis and Opus files and reading their seven basic fields (ids
// 0 to 6) and their length through the module's exports, against TagLib's
// Ogg::Vorbis::File and Ogg::Opus::File reading the same comments with their
// audio properties (Average), in one run. Four sets: 1000 small files of
// each codec, and 200 of each whose comment header holds a 232 KB cover
// picture (METADATA_BLOCK_PICTURE), as taggers write them.
//
// The length of an Ogg Vorbis file is the player's engine's (none here); an
// Opus file's is read from its last page, as TagLib reads both.
#include <taglib/flacpicture.h>
#include <taglib/opusfile.h>
#include <taglib/tag.h>
#include <taglib/vorbisfile.h>
#include <vorbis/codec.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "lyParser.h"
#include "tools/samples/ogg_sample.h"

namespace {

const std::string kFolder = (std::filesystem::temp_directory_path() / "ly-ogg-open-bench").string();
constexpr int kSmallFiles = 1000;
constexpr int kCoverFiles = 200;
constexpr size_t kCoverBytes = 232 * 1024;

OggBytes CommentHeader(const std::vector<std::string>& comments) {
    vorbis_comment list;
    vorbis_comment_init(&list);
    for (const auto& text : comments) vorbis_comment_add(&list, text.c_str());
    ogg_packet packet;
    vorbis_commentheader_out(&list, &packet);
    OggBytes bytes(packet.packet, packet.packet + packet.bytes);
    ogg_packet_clear(&packet);
    vorbis_comment_clear(&list);
    return bytes;
}

std::vector<std::string> Comments(int i, bool cover) {
    std::vector<std::string> comments = {"TITLE=Song " + std::to_string(i),
                                         "ARTIST=Artist",
                                         "ALBUM=Album",
                                         "DATE=2001",
                                         "GENRE=Rock",
                                         "DESCRIPTION=Nice",
                                         "TRACKNUMBER=" + std::to_string(i % 20 + 1),
                                         "ENCODER=bench"};
    if (cover) {
        std::mt19937 noise(static_cast<unsigned>(i));
        TagLib::ByteVector image("\xFF\xD8\xFF\xE0", 4);
        while (image.size() < kCoverBytes) image.append(static_cast<char>(noise()));
        TagLib::FLAC::Picture picture;
        picture.setType(TagLib::FLAC::Picture::FrontCover);
        picture.setMimeType("image/jpeg");
        picture.setData(image);
        const TagLib::ByteVector encoded = picture.render().toBase64();
        comments.push_back("METADATA_BLOCK_PICTURE=" + std::string(encoded.data(), encoded.size()));
    }
    return comments;
}

std::string Write(const std::string& name, const OggBytes& bytes) {
    const std::string path = kFolder + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

// Half-second files, mono and stereo. Encoding is the slow part, so two
// encodings serve every Vorbis file.
std::vector<std::string> MakeVorbisFiles(int count, bool cover) {
    static VorbisPackets tones[2] = {EncodeVorbisTone(0.5, 22050, 1, 0.0f),
                                     EncodeVorbisTone(0.5, 22050, 2, 0.0f)};
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        VorbisPackets& packets = tones[i % 2];
        packets.comment = CommentHeader(Comments(i, cover));
        paths.push_back(Write((cover ? "cover" : "song") + std::to_string(i) + ".ogg",
                              MuxVorbisStream(packets, static_cast<uint32_t>(i + 1))));
    }
    return paths;
}

std::vector<std::string> MakeOpusFiles(int count, bool cover) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        OpusSampleLayout layout;
        layout.seconds = 3;
        layout.channels = 1 + i % 2;
        layout.comments = Comments(i, cover);
        layout.serial = static_cast<uint32_t>(i + 1);
        paths.push_back(
            Write((cover ? "cover" : "song") + std::to_string(i) + ".opus", MakeOggOpus(layout)));
    }
    return paths;
}

struct Set {
    const char* name;
    std::vector<std::string> paths;
};

std::vector<Set>& Sets() {
    static std::vector<Set> sets;
    return sets;
}

void Ours(benchmark::State& state, const std::vector<std::string>* paths) {
    size_t characters = 0;
    for (auto _ : state) {
        for (const auto& path : *paths) {
            IBaseTag* handle = TagParserOpenFile(path.c_str());
            for (int id = 0; id <= 6; ++id) characters += TagParserGetData(handle, id).size();
            characters += TagParserGetFileInfo(handle, INFO_LENGTH_SECONDS).size();
            TagParserCloseFile(handle);
        }
    }
    benchmark::DoNotOptimize(characters);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * paths->size()));
}

template <typename File>
void TagLibRead(benchmark::State& state, const std::vector<std::string>* paths) {
    size_t characters = 0;
    for (auto _ : state) {
        for (const auto& path : *paths) {
            File file(path.c_str(), true, TagLib::AudioProperties::Average);
            TagLib::Tag* tag = file.tag();
            characters += tag->title().size() + tag->artist().size() + tag->album().size() +
                          tag->genre().size() + tag->comment().size() + tag->year() + tag->track();
            if (file.audioProperties()) characters += file.audioProperties()->lengthInSeconds();
        }
    }
    benchmark::DoNotOptimize(characters);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * paths->size()));
}

}  // namespace

int main(int argc, char** argv) {
    TagParserInitialize(nullptr);
    std::filesystem::create_directories(kFolder);
    Sets() = {{"vorbis/1000files", MakeVorbisFiles(kSmallFiles, false)},
              {"vorbis_cover/200files", MakeVorbisFiles(kCoverFiles, true)},
              {"opus/1000files", MakeOpusFiles(kSmallFiles, false)},
              {"opus_cover/200files", MakeOpusFiles(kCoverFiles, true)}};
    std::vector<std::pair<std::string, std::function<void(benchmark::State&)>>> rounds;
    std::vector<RatioPair> ratios;
    for (const Set& set : Sets()) {
        const std::string ours = std::string("ogg_open/ours/") + set.name;
        const std::string taglib = std::string("ogg_open/taglib/") + set.name;
        const bool opus = std::string(set.name).rfind("opus", 0) == 0;
        rounds.emplace_back(ours, [paths = &set.paths](benchmark::State& s) { Ours(s, paths); });
        rounds.emplace_back(taglib, [paths = &set.paths, opus](benchmark::State& s) {
            if (opus) {
                TagLibRead<TagLib::Ogg::Opus::File>(s, paths);
            } else {
                TagLibRead<TagLib::Ogg::Vorbis::File>(s, paths);
            }
        });
        ratios.push_back({ours, taglib, "items_per_second", 1.5, "files/s"});
    }
    AlternateRounds(5, rounds);
    int status = RunWithRatios(argc, argv, ratios);
    TagParserFinalize();
    std::filesystem::remove_all(kFolder);
    return status;
}
