// Ogg files opened by what they hold, and Opus through the exports: real
// files from TagLib's and mutagen's test data and files made here; Opus
// technical texts (the output gain among them), audio range and pictures,
// every save read back with mutagen.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/parsers/parser_test_files.h"
#include "tests/support/module_test.h"
#include "tests/support/ogg_fixtures.h"
#include "tests/support/process.h"
#include "tools/samples/ogg_sample.h"

namespace {

using OpusTest = ModuleTest;

Bytes Opus(std::vector<std::string> comments, int outputGain = 0) {
    OpusSampleLayout layout;
    layout.seconds = 2.5;
    layout.comments = std::move(comments);
    layout.outputGain = outputGain;
    return MakeOggOpus(layout);
}

// A Vorbis stream whose identification header libvorbis refuses (0
// channels), with its comments.
Bytes BadIdentification() {
    VorbisPackets packets = EncodeVorbisTone(0.5, 22050, 2, 0.0f);
    packets.identification[11] = 0;
    packets.comment = CommentPacketBytes("v", {"TITLE=Kept", "ARTIST=A"});
    return MuxVorbisStream(packets, 3);
}

// An OpusHead followed by a packet that is no comment header.
Bytes NoOpusTags() {
    VorbisPackets packets;
    packets.identification = PagesOf(Opus({}))[0].body;
    packets.comment = {'O', 'p', 'u', 's', 'T', 'a', 'g', 'z', 0, 0, 0, 0, 0, 0, 0, 0};
    return MuxVorbisStream(packets, 4);
}

// An Ogg stream of another codec: its first packet neither Vorbis nor Opus.
Bytes OtherCodec() {
    VorbisPackets packets;
    packets.identification = {'S', 'p', 'e', 'e', 'x', ' ', ' ', ' '};
    packets.identification.resize(80, 1);
    packets.comment = packets.setup = Bytes(40, 2);
    return MuxVorbisStream(packets, 5);
}

// A file named .ogg or .opus is read by its first stream of a known codec:
// Opus answers type 12 under either name, a video stream ahead of Vorbis is
// passed over (the file is read, but a save is refused and leaves it as it
// was), and a file with neither is refused. Comments are read, and kept by
// a save, even when the identification header is refused; a second packet
// that is no comment header is never written over. Texts are kinds 2, 3, 5
// and 7; the report (kind 0) holds `line`.
TEST_F(OpusTest, OggFilesOpenByTheirFirstVorbisOrOpusStream) {
    const struct {
        std::string name;
        Bytes data;
        int type;  // 0: the open is refused
        std::string title, texts, line;
        int audioStart;  // -1: behind the Vorbis setup marker
        // A change's result, the save's, and the reason of a refusal.
        std::string outcome = "11";
    } rows[] = {
        {"gain.opus", DataFile("taglib-correctness_gain_silent_output.opus"), 12, "",
         "48000|36|7|MONO", "Output gain: -70.00 dB\nPre-skip: 120 samples\n", 374},
        {"padded.ogg", DataFile("mutagen-example.opus"), 12, "", "48000|45|11|MONO",
         "Length: 0:11\n", 313},
        {"made.opus", Opus({"TITLE=Made"}, 384), 12, "Made", "48000|1|2|STEREO",
         "Output gain: 1.50 dB\n", 118},
        {"video.ogg", DataFile("taglib-multiplex.ogg"), 2, "Paper Lights", "48000|93|7|STEREO",
         "Vendor: ffmpeg\n", 3484, "10MULTIPLEXED_OGG"},
        {"bad-id.ogg", BadIdentification(), 2, "Kept", "0|0|7|STEREO", "Channels: 0\n", -1},
        {"no-tags.opus", NoOpusTags(), 12, "", "48000|0|0|STEREO", "Output gain", 92, "01"},
        {"speex.opus", OtherCodec(), 0, "", "", "", 0},
        {"text.opus", Bytes(3000, 'x'), 0, "", "", "", 0},
    };
    engine_.length = 7.5f;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        OpenedFile file(dir_.Write(row.name, row.data));
        ASSERT_EQ(file.get() != nullptr, row.type != 0);
        if (!file.get()) continue;
        EXPECT_EQ(TagParserGetFileType(file.get()), row.type);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), row.title);
        std::string texts;
        for (int kind : {2, 3, 5, 7})
            texts += (texts.empty() ? "" : "|") + TagParserGetFileInfo(file.get(), kind);
        EXPECT_EQ(texts, row.texts);
        EXPECT_NE(TagParserGetFileInfo(file.get(), 0).find(row.line), std::string::npos)
            << TagParserGetFileInfo(file.get(), 0);
        const int size = static_cast<int>(row.data.size());
        const int start = row.audioStart >= 0 ? row.audioStart : FindSetupMarker(row.data) + 10;
        EXPECT_EQ(RangeOf(file.get()), Range(start, size - start, size));
        const int set = TagParserSetDataW(file.get(), FIELD_ALBUM, L"Changed");
        const int saved = TagParserApplyFile(file.get());
        const std::string reason = TagParserGetExData(file.get(), "lyparser:last-error");
        EXPECT_EQ(std::to_string(set) + std::to_string(saved) + reason.substr(0, reason.find(':')),
                  row.outcome);
        if (row.outcome != "11") {
            EXPECT_TRUE(ReadBytes(dir_.File(row.name)) == row.data);
        }
        OpenedFile again(dir_.File(row.name));
        EXPECT_EQ(TagParserGetData(again.get(), FIELD_TITLE), row.title);
    }
}

// Prints each file's pictures as mutagen reads them: type, MIME type and
// size, one JSON list per file.
constexpr char kMutagenPictures[] = R"(import sys, json, base64, mutagen
from mutagen.flac import Picture
for path in sys.argv[1:]:
    tags = mutagen.File(path).tags
    pictures = [Picture(base64.b64decode(v)) for v in tags.get('METADATA_BLOCK_PICTURE', [])]
    print(json.dumps([tags['TITLE'][0]] + [[p.type, p.mime, len(p.data)] for p in pictures]))
)";

// The picture is the front cover, else the first, or the first of the type
// a host chose; a new one replaces it in its place with its content's MIME
// type and keeps the others; the picture keys list them and set or remove
// one type; removal takes them all. Vorbis files have no picture field and
// no picture keys.
TEST_F(OpusTest, PicturesAreTheFrontCoverElseTheFirst) {
    const Bytes back = PatternBytes(3000, 4), front = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3};
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png.resize(500, 7);
    const std::string pngPath = dir_.Write("cover.png", png);
    const std::string replaced =
        dir_.Write("replaced.opus", Opus({"TITLE=Pictures", PictureComment(4, "image/png", back),
                                          PictureComment(3, "image/jpeg", front)}));
    const std::string removed = dir_.Write("removed.opus", ReadBytes(replaced));
    {
        OpenedFile file(replaced);
        EXPECT_EQ(TagParserGetExData(file.get(), LYPARSER_KEY_PICTURES),
                  "4\timage/png\t3000\t\n3\timage/jpeg\t7\t\n");
        EXPECT_EQ(TagParserSetExData(file.get(), LYPARSER_KEY_SHOWN_PICTURE, "4"), 1);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_PICTURE_INFO), "3000");
        EXPECT_EQ(TagParserSetExData(file.get(), LYPARSER_KEY_SHOWN_PICTURE, ""), 1);
        EXPECT_EQ(TagParserSetExData(file.get(), LYPARSER_KEY_PICTURE "8", pngPath.c_str()), 1);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_PICTURE), "[image/jpeg]");
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_PICTURE_INFO), "7");
        Bytes copied(16);
        EXPECT_EQ(TagParserGetAttachedPictureData(file.get(), copied.data()), 7);
        EXPECT_TRUE(std::equal(front.begin(), front.end(), copied.begin()));
        const std::string text = dir_.Write("cover.txt", Bytes(500, 'x'));
        EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_PICTURE,
                                    std::wstring(text.begin(), text.end()).c_str()),
                  0);  // not an image
        EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_PICTURE,
                                    std::wstring(pngPath.begin(), pngPath.end()).c_str()),
                  1);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_PICTURE) + TagParserGetData(file.get(), 34),
                  "[image/png]500");
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);
    }
    {
        OpenedFile file(removed);
        EXPECT_EQ(TagParserSetExData(file.get(), LYPARSER_KEY_PICTURE "3", ""), 1);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_PICTURE_INFO), "3000");
        EXPECT_EQ(TagParserDeleteAttachedPicture(file.get()), 1);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_PICTURE), "");
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);
    }
    OggFixture vorbis;
    vorbis.comments = {PictureComment(3, "image/jpeg", front)};
    OpenedFile file(dir_.Write("plain.ogg", MakeOgg(vorbis)));
    EXPECT_EQ(TagParserGetExData(file.get(), LYPARSER_KEY_PICTURES), "");
    EXPECT_EQ(TagParserDeleteAttachedPicture(file.get()), 2);
    // Comments not read whole (a count past the list) take no picture change.
    VorbisPackets cut;
    cut.identification = PagesOf(Opus({}))[0].body;
    cut.comment = OpusTagsPacket("v", {PictureComment(3, "image/jpeg", front)});
    cut.comment[13] = 2;
    OpenedFile broken(dir_.Write("cut.opus", MuxVorbisStream(cut, 4)));
    EXPECT_EQ(TagParserGetData(broken.get(), FIELD_PICTURE_INFO), "7");
    EXPECT_EQ(TagParserSetExData(broken.get(), LYPARSER_KEY_PICTURE "3", ""), 0);
    EXPECT_EQ(TagParserSetExData(broken.get(), LYPARSER_KEY_PICTURE "4", pngPath.c_str()), 0);
    EXPECT_EQ(TagParserDeleteAttachedPicture(broken.get()), 0);
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing (./dev.sh installs it)";
    const CommandResult dump = RunPython(kMutagenPictures, {replaced, removed});
    EXPECT_EQ(dump.out,
              "[\"Pictures\", [4, \"image/png\", 3000], [3, \"image/png\", 500], "
              "[8, \"image/png\", 500]]\n[\"Pictures\"]\n")
        << dump.err;
}

}  // namespace
