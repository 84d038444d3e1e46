// Ogg Vorbis files through the exports: which files open (comment headers of
// any size included), the stream properties and audio range, memory images,
// comment fields by identifier and by name, and saving: that nothing is lost
// (the bytes of untouched comments, the audio, what follows the stream) and
// that a failed save changes nothing. Multiplexed files are in opus_test,
// the pages a save keeps in ogg_rewrite_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <tuple>

#include "tests/parsers/parser_test_files.h"
#include "tests/support/module_test.h"
#include "tests/support/ogg_fixtures.h"
#include "tests/support/process.h"

namespace {

class OggParserTest : public ModuleTest {
protected:
    void TearDown() override {
        for (IBaseTag* handle : handles_) TagParserCloseFile(handle);
    }
    IBaseTag* Keep(IBaseTag* handle) { return handle ? handles_.emplace_back(handle) : nullptr; }
    IBaseTag* Open(const std::string& n, const Bytes& d) {
        return Keep(TagParserOpenFile(dir_.Write(n, d).c_str()));
    }
    IBaseTag* OpenImage(const Bytes& data, int size) {
        return Keep(TagParserOpenBinaryFile(2, data.data(), size));
    }

    std::vector<IBaseTag*> handles_;
};

// The audio runs from behind the setup-header marker to the end of the file.
void ExpectAudioRange(IBaseTag* handle, const Bytes& data) {
    int start = FindSetupMarker(data) + 10, end = 3000;
    const int size = static_cast<int>(data.size());
    EXPECT_EQ(RangeOf(handle), Range(start, size - start, size));
    EXPECT_EQ(TagParserGetMD5(handle, &start, &end),
              Md5sum(data, static_cast<size_t>(start), 3000));
}

// Two channels or more read STEREO (opus_test's Vorbis rows).
TEST_F(OggParserTest, ReportsTheStreamProperties) {
    OggFixture fixture;
    fixture.channels = 1;
    fixture.rate = 22050;
    fixture.serial = 0x90000001u;
    fixture.vendor = "Vendor 1";
    fixture.comments = {"TITLE=Big"};
    const Bytes data = MakeOgg(fixture);
    IBaseTag* handle = Open("tone.ogg", data);
    ASSERT_NE(handle, nullptr);
    const int nominal =
        data[48] | data[49] << 8 | data[50] << 16 | data[51] << 24;  // in the first header
    EXPECT_EQ(TagParserGetFileType(handle), 2);
    EXPECT_EQ(TagParserGetFileInfo(handle, 0),
              "Vendor: Vendor 1\nVersion: 0\nSample rate: 22050 Hz\nNominal bit rate: " +
                  std::to_string(nominal / 1024) +
                  " kbit/s\nSerial number: -1879048191\nChannels: 1\n");
    // Kind 5 is the engine's length, as for every parser.
    engine_.length = 7.9f;
    const std::string infos[] = {"22050", std::to_string(nominal / 1024), "", "7", "", "MONO"};
    for (int kind = 2; kind <= 7; ++kind)
        EXPECT_EQ(TagParserGetFileInfo(handle, kind), infos[kind - 2]) << kind;
    EXPECT_EQ(TagParserGetData(handle, 0), "Big");
}

TEST_F(OggParserTest, OpensOnlyWithASetupMarkerStartingWithin5120Bytes) {
    OggFixture fixture;
    fixture.channels = 1;
    fixture.comments = {"TITLE=Found"};
    Bytes ogg = MakeOgg(fixture);
    const size_t marker = static_cast<size_t>(FindSetupMarker(ogg));
    // Leading junk is passed over by the header reader, not by the marker search.
    const Bytes at5120 = Concat(PatternBytes(5120 - marker, 9), ogg);
    IBaseTag* found = Open("at5120.ogg", at5120);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(TagParserGetData(found, 0), "Found");
    ExpectAudioRange(found, at5120);
    EXPECT_EQ(Open("at5121.ogg", Concat(PatternBytes(5121 - marker, 9), ogg)), nullptr);
    for (const std::string& path : {dir_.File("missing.ogg"), dir_.path()})
        EXPECT_EQ(TagParserOpenFile(path.c_str()), nullptr) << path;

    // A marker at the very start, in no stream, and a stream whose first page
    // is damaged: both open, without properties or comments; descriptions
    // without fields fall back to the file's title. Neither saves: the file
    // stays as it was, with nothing left beside it.
    Bytes bare = {'v', 'o', 'r', 'b', 'i', 's', 0x29, 'B', 'C', 'V'}, broken = ogg;
    bare.resize(200, 0);
    broken[22] ^= 0xff;  // the first page's checksum
    for (const Bytes& data : {bare, broken}) {
        IBaseTag* handle = Open("opened.name.ogg", data);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(TagParserGetFileInfo(handle, 0).find("Vendor: \nVersion: 0\nSample rate: 0 Hz"),
                  0u);
        EXPECT_EQ(TagParserGetData(handle, 0), "");
        EXPECT_EQ(TagParserGetDescription(handle, 1, "", 0) + "|" +
                      TagParserGetDescription(handle, 5, "<%title%|%filename%>", 0) + "|" +
                      TagParserGetDescription(handle, 5, "<%album%>", 0),
                  "opened.name|<opened.name|" + dir_.File("opened.name.ogg") + ">|opened.name");
        ExpectAudioRange(handle, data);
        TagParserSetDataW(handle, 0, L"Changed");
        EXPECT_EQ(TagParserApplyFile(handle), 0);
        EXPECT_TRUE(ReadBytes(dir_.File("opened.name.ogg")) == data);
    }
}

TEST_F(OggParserTest, MemoryImagesGiveTheirCommentListAndNothingElse) {
    const std::string classic = "Xiph.Org libVorbis I 20020717", title(300, 't'), artist(195, 'a');
    // Entry lengths above 255, and 200: a byte with its top bit set.
    const std::vector<std::string> entries = {"TITLE=" + title, "NOEQUALS", "ENCODER=e",
                                              "ARTIST=" + artist};
    Bytes full =
        Concat(PatternBytes(40, 3), CommentPacketBytes(classic, entries));  // behind a page's start
    const int cut =
        static_cast<int>(40 + CommentPacketBytes(classic, {entries[0], entries[1]}).size()) + 5;
    OggFixture current;  // a whole file's start, with the current, longer vendor string
    current.comments = {"ALBUM=Al"};
    // The first image ends with the last entry, without the framing byte.
    const std::tuple<Bytes, int, int, std::string> cases[] = {
        {full, static_cast<int>(full.size()) - 1, 1, artist},
        {full, cut, 0, title},
        {full, cut, 1, ""},  // cut inside the third entry
        {MakeOgg(current), 4096, 2, "Al"}};
    for (const auto& [image, size, field, value] : cases) {
        ASSERT_NE(OpenImage(image, size), nullptr) << size;
        EXPECT_EQ(TagParserGetData(handles_.back(), field), value) << size;
    }
    IBaseTag* handle = handles_.front();
    // Every entry of an image counts as a known field, whatever its name; and
    // nothing that needs the file answers or changes.
    EXPECT_EQ(TagParserGetExData(handle, "") + TagParserGetExData(handle, "ENCODER") +
                  TagParserGetFileInfo(handle, 0),
              "");
    int start = 11, end = 22;
    EXPECT_EQ(TagParserSetDataW(handle, 0, L"New") + TagParserSetExData(handle, "X", "y") +
                  TagParserApplyFile(handle) + TagParserGetSourceLength(handle, &start, &end),
              0);
    EXPECT_EQ(start * 100 + end, 1122);
    EXPECT_EQ(TagParserGetData(handle, 0), title);
    // No vendor text, no bytes, no pointer, another parser's type.
    EXPECT_FALSE(OpenImage(PatternBytes(500), 500) || OpenImage(full, 0) ||
                 TagParserOpenBinaryFile(2, nullptr, 0) ||
                 TagParserOpenBinaryFile(1, full.data(), 60));
}

// Descriptions show every value of a field; names list only the comments
// that are not fields, those without a name too.
TEST_F(OggParserTest, FieldsReadEveryCommentOfTheirNameAndDescriptionsUseThem) {
    OggFixture fixture;
    fixture.comments = {
        "Title=Song",     "TITLE=Other", "artist=Art",    u8"ALBUM=Grüße 🎵",
        "Date=1999",      "GENRE=Jazz",  "TRACKNUMBER=7", "REPLAYGAIN_TRACK_GAIN=-3 dB",
        u8"ENCODER=日本", "bare text",   "=empty name"};
    IBaseTag* h = Open("song.name.ogg", MakeOgg(fixture));
    EXPECT_EQ(TagParserGetDataW(h, 2), L"Grüße 🎵");
    EXPECT_EQ(TagParserGetExData(h, "") + TagParserGetExData(h, "encoder"),
              u8"REPLAYGAIN_TRACK_GAIN,ENCODER,,,日本");
    EXPECT_EQ(
        TagParserGetDescription(h, 5, "%artist% - %title% (%album%, %year%) [%genre%] #%track%", 0),
        u8"Art - Song; Other (Grüße 🎵, 1999) [Jazz] #7");
    for (int id = -1; id <= 40; ++id)  // only identifiers with a comment name are written
        EXPECT_EQ(TagParserSetDataW(h, id, L"x"), (id >= 0 && id <= 6) || id == 26) << id;
}

// Prints each file's comments as mutagen reads them: one JSON list of
// "name=value" per file.
constexpr char kMutagenComments[] = R"(import sys, json, mutagen
for path in sys.argv[1:]:
    print(json.dumps([k + '=' + v for k, v in mutagen.File(path).tags], ensure_ascii=False))
)";

// The comments of files in the shapes common taggers write (kid3, ffmpeg,
// vorbiscomment), of real files, Vorbis and Opus alike; each row's calls, then a save. Comments
// no call changed keep their bytes and places, changed ones stay where they
// were, new ones come last; libvorbisfile reads the result byte for byte and
// mutagen as the same comments. A save that changes nothing leaves the file
// alone: same bytes, inode and modification time.
TEST_F(OggParserTest, ChangesReplaceRemoveOrKeepTheirCommentsAndSavesKeepTheRest) {
    using Texts = std::vector<std::string>;
    const Texts kid3 = {"TITLE=Kt", "COMMENT=Kc", "TRACKNUMBER=3", "ENCODER=x"},
                ffmpeg = {"title=Ft", "DESCRIPTION=Fc", "artist=Fa", "TRACKNUMBER=4",
                          "encoder=Lavf"},
                doubled = {"TITLE=T", "ARTIST=A", "JustTextNoEquals", "ARTIST=B", "COMMENT=hello"};
    const struct {
        std::string file;  // in tests/data, or "" for one made with `comments`
        Texts comments, calls, after;
        bool opus = false;  // made as Opus
    } rows[] = {
        // clang-format off
        {"", kid3, {"?#5=Kc", "#5=new"}, {"TITLE=Kt", "COMMENT=new", "TRACKNUMBER=3", "ENCODER=x"}},
        {"", ffmpeg, {"?#5=Fc", "#0=T2", "#5="}, {"title=T2", "artist=Fa", "TRACKNUMBER=4", "encoder=Lavf"}},
        // What a field reads, set again, changes nothing.
        {"", doubled, {"?#1=A; B", "#1=A; B", "#0=T", "#26="}, doubled},
        {"", doubled, {"#1=C", "?ARTIST=C"}, {"TITLE=T", "ARTIST=C", "JustTextNoEquals", "COMMENT=hello"}},
        {"", {"TITLE=x"}, {"?#5=", "#5=c", "?#5=c"}, {"TITLE=x", "COMMENT=c"}},
        // DESCRIPTION is read and written first; emptied, the comment goes whole.
        {"", {"COMMENT=old", "DESCRIPTION=d"}, {"?#5=d", "#5=n"}, {"COMMENT=old", "DESCRIPTION=n"}},
        {"", {"COMMENT=o", "TITLE=t", "DESCRIPTION=d"}, {"comment=", "?description="}, {"TITLE=t"}},
        {"", {"Title=Song", "TITLE=Other", "ENCODER=e"}, {"?title=Song; Other", "#0=New"}, {"Title=New", "ENCODER=e"}},
        // A field's name sets the field; names must be 0x20-0x7D, no "=".
        {"", {"ARTIST=a", "MOOD=calm", "mood=sad", "X=1"},
         {"artist=b", "?#1=b", "MOOD=", "NEW=v", "!K=V=x", "!=x", "!n\xff=x", "!a~=x", " }=ok", "x=1"},
         {"ARTIST=b", "X=1", "NEW=v", " }=ok"}},
        {"taglib-test.ogg", {},
         {"?UNUSUALTAG=usual value; another value", "?=unicodetag,unusualtag,unusualtag,", "unusualtag=one"},
         {u8"unicodetag=öäüoΣø", "unusualtag=one"}},
        // Opus follows the same rules.
        {"taglib-correctness_gain_silent_output.opus", {}, {"?ENCODER=Xiph.Org Opus testvectormaker", "TESTDESCRIPTION=", "#5=c"},
         {"ENCODER=Xiph.Org Opus testvectormaker", "COMMENT=c"}, true},
        // clang-format on
    };
    std::vector<std::string> saved;
    nlohmann::json expected = nlohmann::json::array();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file + testing::PrintToString(row.comments));
        OggFixture fixture;
        fixture.comments = row.comments;
        OpusSampleLayout opus;
        opus.comments = row.comments;
        const Bytes original = !row.file.empty() ? ReadBytes(LY_TEST_DATA "/" + row.file)
                               : row.opus        ? MakeOggOpus(opus)
                                                 : MakeOgg(fixture);
        const std::string path =
            dir_.Write("case" + std::to_string(saved.size()) + ".ogg", original);
        const std::string state = FileState(path);
        {
            OpenedFile file(path);
            MakeCalls(file.get(), row.calls);
            ASSERT_EQ(TagParserApplyFile(file.get()), 1);
        }
        if (!row.opus) {
            const OggReadBack back = ReadBack(path);
            EXPECT_EQ(Texts(back.texts.begin() + 1, back.texts.end()), row.after);
        }
        if (row.after == row.comments) {  // nothing changed, nothing written
            EXPECT_EQ(FileState(path), state);
        }
        saved.push_back(path);
        expected.push_back(nlohmann::json::array());
        for (const std::string& text : row.after) {  // mutagen names a text without "=" itself
            expected.back().push_back(text.find('=') != std::string::npos
                                          ? text
                                          : "unknown" + std::to_string(expected.back().size()) +
                                                "=" + text);
        }
    }
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing (./dev.sh installs it)";
    EXPECT_EQ(nlohmann::json(MutagenJson(kMutagenComments, saved)), expected);
}

// The vendor, the bytes of comments no call changed (UTF-8 or not, NUL
// included, with or without "="), the audio and a following stream are
// kept; values set are written as UTF-8 (narrow ones: exports_test). (The
// file's mode, owner and attributes: save_identity_test.)
TEST_F(OggParserTest, SaveLosesNothing) {
    OggFixture fixture, second;
    const std::string latin1 = "GENRE=dup Caf\xe9", bare = "bare \xff\xfe",
                      comment("COMMENT=c\0d", 11);
    fixture.comments = {"Title=Old", "ENCODER=enc", "ARTIST=Art", latin1, bare, comment};
    second.serial = 99;
    Bytes tail = MakeOgg(second);
    std::string path = dir_.Write("keep.ogg", Concat(MakeOgg(fixture), tail));
    const OggReadBack before = ReadBack(path);
    const std::string cover(300 * 1024, 'c');
    {
        OpenedFile file(std::wstring(path.begin(), path.end()));
        TagParserSetDataW(file.get(), 0, L"Ünïcödé 🎵 𝄞");
        TagParserSetDataW(file.get(), 26, L"la\nla");
        TagParserSetExData(file.get(), "COVERART", cover.c_str());  // header pages grow
        ASSERT_EQ(TagParserApplyFile(file.get()), 1);
        const std::string saved = FileState(path);
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);  // nothing new: not written again
        EXPECT_EQ(FileState(path), saved);
    }
    OggReadBack after = ReadBack(path);
    EXPECT_EQ(after.texts, (std::vector<std::string>{
                               fixture.vendor, u8"Title=Ünïcödé 🎵 𝄞", "ENCODER=enc", "ARTIST=Art",
                               latin1, bare, comment, "LYRICS=la\nla", "COVERART=" + cover}));
    EXPECT_TRUE(after.complete && after.pcm == before.pcm);
    Bytes saved = ReadBytes(path);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), saved.end() - static_cast<long>(tail.size())));
    // The header, grown over many pages, still opens, the audio behind it.
    OpenedFile reopened(path);
    ASSERT_NE(reopened.get(), nullptr);
    EXPECT_EQ(TagParserGetData(reopened.get(), 0), u8"Ünïcödé 🎵 𝄞");
    ExpectAudioRange(reopened.get(), saved);
}

}  // namespace
