// Opening 1000 small Ogg Vorbis files and reading their seven basic fields
// (ids 0 to 6) through the module's exports, against TagLib's
// Ogg::Vorbis::File reading the same comments with its audio properties
// (Average), in one run.
#include <taglib/tag.h>
#include <taglib/vorbisfile.h>
#include <vorbis/codec.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "lyParser.h"
#include "tools/samples/ogg_sample.h"

namespace {

const std::string kFolder = (std::filesystem::temp_directory_path() / "ly-ogg-open-bench").string();
constexpr int kFiles = 1000;

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

// 1000 files of half a second, mono and stereo, each with its own comments.
// Encoding is the slow part, so two encodings serve them all.
std::vector<std::string> MakeFiles() {
    std::filesystem::create_directories(kFolder);
    VorbisPackets tones[2] = {EncodeVorbisTone(0.5, 22050, 1, 0.0f),
                              EncodeVorbisTone(0.5, 22050, 2, 0.0f)};
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        VorbisPackets& packets = tones[i % 2];
        packets.comment =
            CommentHeader({"TITLE=Song " + std::to_string(i), "ARTIST=Artist", "ALBUM=Album",
                           "DATE=2001", "GENRE=Rock", "DESCRIPTION=Nice",
                           "TRACKNUMBER=" + std::to_string(i % 20 + 1), "ENCODER=bench"});
        OggBytes bytes = MuxVorbisStream(packets, static_cast<uint32_t>(i + 1));
        std::string path = kFolder + "/song" + std::to_string(i) + ".ogg";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        paths.push_back(path);
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
            for (int id = 0; id <= 6; ++id) characters += TagParserGetData(handle, id).size();
            TagParserCloseFile(handle);
        }
    }
    benchmark::DoNotOptimize(characters);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFiles);
}

void TagLibRead(benchmark::State& state) {
    const auto& paths = Files();
    size_t characters = 0;
    for (auto _ : state) {
        for (const auto& path : paths) {
            TagLib::Ogg::Vorbis::File file(path.c_str(), true, TagLib::AudioProperties::Average);
            TagLib::Tag* tag = file.tag();
            characters += tag->title().size() + tag->artist().size() + tag->album().size() +
                          tag->genre().size() + tag->comment().size() + tag->year() + tag->track();
        }
    }
    benchmark::DoNotOptimize(characters);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFiles);
}

}  // namespace

int main(int argc, char** argv) {
    TagParserInitialize(nullptr);
    Files();
    AlternateRounds(5,
                    {{"ogg_open/ours/1000files", Ours}, {"ogg_open/taglib/1000files", TagLibRead}});
    int status = RunWithRatios(argc, argv,
                               {{"ogg_open/ours/1000files", "ogg_open/taglib/1000files",
                                 "items_per_second", 1.5, "files/s"}});
    TagParserFinalize();
    std::filesystem::remove_all(kFolder);
    return status;
}
