// Ogg Vorbis files through the exports: which files open, the stream
// properties and audio range, memory images, comment fields by identifier and
// by name, and saving: what the rewritten file holds, read back by libvorbis,
// that the audio and what follows the stream survive, and that a save failing
// at any step changes nothing.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <csignal>
#include <functional>

#include "tests/support/module_test.h"
#include "tests/support/ogg_fixtures.h"
#include "tests/support/process.h"

namespace {

class OggParserTest : public ModuleTest {
protected:
    void TearDown() override {
        for (IBaseTag* handle : handles_) TagParserCloseFile(handle);
    }
    IBaseTag* Keep(IBaseTag* handle) {
        if (handle) handles_.push_back(handle);
        return handle;
    }
    IBaseTag* Open(const std::string& name, const Bytes& data) {
        return Keep(TagParserOpenFile(dir_.Write(name, data).c_str()));
    }
    IBaseTag* OpenWith(const std::vector<std::string>& comments) {
        OggFixture fixture;
        fixture.comments = comments;
        return Open("song.name.ogg", MakeOgg(fixture));
    }
    IBaseTag* OpenImage(const Bytes& data, int size = -1) {
        return Keep(TagParserOpenBinaryFile(2, data.data(), size < 0 ? static_cast<int>(data.size()) : size));
    }
    static std::vector<int16_t> Pcm(const std::string& path) {
        std::vector<int16_t> samples;
        EXPECT_TRUE(DecodePcm(path, &samples)) << path;
        return samples;
    }
    // Opens `path` by its wide name, lets `change` record changes, saves;
    // returns ApplyFile's result.
    static int Save(const std::string& path, const std::function<void(IBaseTag*)>& change) {
        OpenedFile file(std::wstring(path.begin(), path.end()));
        if (!file.get()) return -1;
        change(file.get());
        return TagParserApplyFile(file.get());
    }

    std::vector<IBaseTag*> handles_;
};

// A memory image: the comment packet behind bytes standing for the first page.
Bytes Image(const std::string& vendor, const std::vector<std::string>& comments) {
    Bytes image = PatternBytes(40, 3), packet = CommentPacketBytes(vendor, comments);
    image.insert(image.end(), packet.begin(), packet.end());
    return image;
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

TEST_F(OggParserTest, ReportsTheStreamPropertiesAndAudioRange) {
    const struct {
        int channels, rate;
        const char* mode;
    // (libvorbisenc itself leaks a setup block for 6 channels at 44.1 kHz and up.)
    } cases[] = {{1, 22050, "MONO"}, {2, 48000, "STEREO"}, {6, 32000, "STEREO"}};
    engine_.length = 7.9f;
    for (const auto& c : cases) {
        OggFixture fixture;
        fixture.channels = c.channels;
        fixture.rate = c.rate;
        fixture.serial = 0x90000001u + static_cast<uint32_t>(c.channels);
        fixture.vendor = "Vendor " + std::to_string(c.channels);
        Bytes data = MakeOgg(fixture);
        IBaseTag* handle = Open("tone.ogg", data);
        ASSERT_NE(handle, nullptr) << c.channels;
        OggVorbis_File file;
        ASSERT_EQ(ov_fopen(dir_.File("tone.ogg").c_str(), &file), 0);
        std::string nominal = std::to_string(ov_info(&file, -1)->bitrate_nominal / 1024);
        ov_clear(&file);
        EXPECT_EQ(TagParserGetFileType(handle), 2);
        EXPECT_EQ(TagParserGetFileInfo(handle, 0),
                  "Vendor: " + fixture.vendor + "\nVersion: 0\nSample rate: " + std::to_string(c.rate) +
                      " Hz\nNominal bit rate: " + nominal + " kbit/s\nSerial number: " +
                      std::to_string(static_cast<int32_t>(fixture.serial)) +
                      "\nChannels: " + std::to_string(c.channels) + "\n");
        EXPECT_EQ(TagParserGetFileInfo(handle, 2), std::to_string(c.rate));
        EXPECT_EQ(TagParserGetFileInfo(handle, 3), nominal);
        EXPECT_EQ(TagParserGetFileInfo(handle, 5), "7");  // the engine's length, as for every parser
        EXPECT_EQ(TagParserGetFileInfo(handle, 7), c.mode);
        for (int kind : {1, 4, 100}) EXPECT_EQ(TagParserGetFileInfo(handle, kind), "") << kind;
        int start = -1, end = -1;
        EXPECT_EQ(TagParserGetSourceLength(handle, &start, &end), static_cast<int>(data.size()));
        EXPECT_EQ(start, FindSetupMarker(data) + 10);
        EXPECT_EQ(end, static_cast<int>(data.size()) - start);
        end = 3000;
        EXPECT_EQ(TagParserGetMD5(handle, &start, &end), Md5sum(data, static_cast<size_t>(start), 3000));
    }
}

TEST_F(OggParserTest, OpensOnlyWithASetupMarkerStartingWithin5120Bytes) {
    Bytes at5120 = OggWithMarkerAt(5120), at5121 = OggWithMarkerAt(5121);
    ASSERT_FALSE(at5120.empty());
    ASSERT_FALSE(at5121.empty());
    IBaseTag* found = Open("at5120.ogg", at5120);
    ASSERT_NE(found, nullptr);
    int start = 0, end = 0;
    TagParserGetSourceLength(found, &start, &end);
    EXPECT_EQ(start, 5130);
    EXPECT_EQ(TagParserGetFileInfo(found, 7), "MONO");
    EXPECT_EQ(Open("at5121.ogg", at5121), nullptr);
    for (const Bytes& refused : {Bytes(), PatternBytes(20000)}) EXPECT_EQ(Open("refused.ogg", refused), nullptr);
    EXPECT_EQ(TagParserOpenFile(dir_.File("missing.ogg").c_str()), nullptr);
    EXPECT_EQ(TagParserOpenFile(dir_.path().c_str()), nullptr);

    // A marker at the very start, in no stream: opens without properties.
    Bytes bare = {'v', 'o', 'r', 'b', 'i', 's', 0x29, 'B', 'C', 'V'};
    bare.resize(200, 0);
    IBaseTag* first = Open("bare.ogg", bare);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(TagParserGetSourceLength(first, &start, &end), 200);
    EXPECT_EQ(start, 10);
    EXPECT_EQ(TagParserGetFileInfo(first, 0).find("Vendor: \nVersion: 0\n"), 0u);

    // A broken first page: the marker is found, the headers are not read.
    OggFixture fixture;
    fixture.comments = {"TITLE=Lost"};
    Bytes broken = MakeOgg(fixture);
    broken[22] ^= 0xff;  // the first page's checksum
    IBaseTag* handle = Open("broken.ogg", broken);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(TagParserGetFileInfo(handle, 2), "0");
    EXPECT_EQ(TagParserGetData(handle, 0), "");
    EXPECT_EQ(TagParserApplyFile(handle), 0);
}

TEST_F(OggParserTest, MemoryImagesGiveTheirCommentListAndNothingElse) {
    const std::string classic = "Xiph.Org libVorbis I 20020717", title(300, 't'), artist(195, 'a');
    // Entry lengths above 255, and 200: a byte with its top bit set.
    const std::vector<std::string> entries = {"TITLE=" + title, "NOEQUALS", "ARTIST=" + artist, "ENCODER=e"};
    Bytes full = Image(classic, entries);
    OggFixture current;  // a whole file's start, with the current, longer vendor string
    current.comments = {"ALBUM=Al"};
    const struct {
        const char* what;
        Bytes image;
        int size;
        std::vector<std::pair<int, std::string>> fields;
    } cases[] = {
        {"whole", full, -1, {{0, title}, {1, artist}}},
        {"cut inside the third entry", full, static_cast<int>(Image(classic, {entries[0], entries[1]}).size()) + 5,
         {{0, title}, {1, ""}}},
        {"file start", MakeOgg(current), 4096, {{2, "Al"}}},
    };
    for (const auto& c : cases) {
        IBaseTag* handle = OpenImage(c.image, c.size);
        ASSERT_NE(handle, nullptr) << c.what;
        for (const auto& field : c.fields) EXPECT_EQ(TagParserGetData(handle, field.first), field.second) << c.what;
    }
    IBaseTag* handle = OpenImage(full);
    // Every entry of an image counts as a known field, whatever its name.
    EXPECT_EQ(TagParserGetExData(handle, ""), "");
    EXPECT_EQ(TagParserGetExData(handle, "ENCODER"), "");
    EXPECT_EQ(TagParserGetDescription(handle, 0, "", 0), title + " - " + artist);
    for (int kind : {0, 2, 5, 7}) EXPECT_EQ(TagParserGetFileInfo(handle, kind), "") << kind;
    int start = 11, end = 22;
    EXPECT_EQ(TagParserGetMD5(handle, &start, &end), "");
    EXPECT_EQ(TagParserGetSourceLength(handle, &start, &end), 0);
    EXPECT_EQ(start * 100 + end, 1122);
    EXPECT_EQ(TagParserSetDataW(handle, 0, L"New"), 0);
    EXPECT_EQ(TagParserSetExData(handle, "X", "y"), 0);
    EXPECT_EQ(TagParserGetData(handle, 0), title);
    EXPECT_EQ(TagParserApplyFile(handle), 0);

    EXPECT_EQ(OpenImage(PatternBytes(500)), nullptr);
    EXPECT_EQ(OpenImage(full, 0), nullptr);
    EXPECT_EQ(TagParserOpenBinaryFile(2, nullptr, 0), nullptr);
    EXPECT_EQ(TagParserOpenBinaryFile(1, full.data(), 60), nullptr);
}

TEST_F(OggParserTest, KnownFieldsAnswerByIdentifierAndOthersByName) {
    IBaseTag* h = OpenWith({"Title=Song", "TITLE=Other", "artist=Art", u8"ALBUM=Grüße 🎵", "Date=1999", "GENRE=Jazz",
                            "TRACKNUMBER=7", "COMMENT=just a comment", "lyrics=la la", "REPLAYGAIN_TRACK_GAIN=-3 dB",
                            u8"ENCODER=日本", "bare text", "=empty name"});
    const std::pair<int, const char*> gets[] = {{0, "Song"}, {1, "Art"}, {2, u8"Grüße 🎵"}, {3, "1999"}, {4, "Jazz"},
                                                {5, ""},     {6, "7"},   {26, "la la"},     {14, ""},    {7, ""}};
    for (const auto& get : gets) EXPECT_EQ(TagParserGetData(h, get.first), get.second) << get.first;
    EXPECT_EQ(TagParserGetDataW(h, 2), L"Grüße 🎵");
    EXPECT_EQ(TagParserGetExData(h, ""), "REPLAYGAIN_TRACK_GAIN,ENCODER,,,");
    EXPECT_EQ(TagParserGetExData(h, "encoder"), u8"日本");
    EXPECT_EQ(TagParserGetExData(h, "COMMENT"), "");
    EXPECT_EQ(TagParserGetExData(h, "missing"), "");
    EXPECT_EQ(TagParserGetDescription(h, 2, "", 0), u8"Song - Grüße 🎵 - Art");
    EXPECT_EQ(TagParserGetDescription(h, 5, "%artist% - %title% (%album%, %year%) [%genre%] #%track%", 0),
              u8"Art - Song (Grüße 🎵, 1999) [Jazz] #7");

    const struct {
        int id;
        const wchar_t* value;
        int result;
        const char* after;
    } sets[] = {{0, L"New", 1, "New"}, {5, L"y", 1, "y"}, {26, L"words", 1, "words"},
                {0, L"", 0, "New"},    {14, L"c", 0, ""}, {7, L"x", 0, ""}};
    for (const auto& set : sets) {
        EXPECT_EQ(TagParserSetDataW(h, set.id, set.value), set.result) << set.id;
        EXPECT_EQ(TagParserGetData(h, set.id), set.after) << set.id;
    }
    EXPECT_EQ(TagParserSetExData(h, "encoder", "mine"), 1);
    EXPECT_EQ(TagParserSetExData(h, "MOOD", ""), 1);
    EXPECT_EQ(TagParserSetExData(h, "TITLE", "as other"), 1);
    EXPECT_EQ(TagParserGetExData(h, "ENCODER"), "mine");
    EXPECT_EQ(TagParserGetExData(h, ""), "REPLAYGAIN_TRACK_GAIN,ENCODER,,,MOOD,TITLE,");
    EXPECT_EQ(TagParserGetExData(h, "title"), "as other");
    EXPECT_EQ(TagParserGetData(h, 0), "New");

    // Without fields the descriptions fall back to the file's title.
    h = OpenWith({"ARTIST=A"});
    EXPECT_EQ(TagParserGetDescription(h, 1, "", 0), "A - song.name");
    EXPECT_EQ(TagParserGetDescription(h, 5, "%title%", 0), "song.name");
    EXPECT_EQ(TagParserGetDescription(h, 5, "<%filename%>", 0), "<" + dir_.File("song.name.ogg") + ">");
}

TEST_F(OggParserTest, SaveWritesKnownFieldsFirstAndKeepsEverythingElse) {
    OggFixture fixture;
    fixture.seconds = 1.5;
    fixture.vendor = "Kept vendor";
    fixture.comments = {"Title=Old", "ENCODER=enc", "ARTIST=Art", "TITLE=dup", "bare", "COMMENT=c"};
    std::string path = dir_.Write("keep.ogg", MakeOgg(fixture));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::vector<int16_t> before = Pcm(path);
    ASSERT_EQ(Save(path, [](IBaseTag* h) {
                  TagParserSetDataW(h, 0, L"Ünïcödé 🎵 𝄞");
                  TagParserSetData(h, 2, u8"Narrow Ä");
                  TagParserSetExData(h, "MOOD", "calm");
                  TagParserSetDataW(h, 26, L"la\nla");
              }),
              1);
    std::string vendor;
    EXPECT_EQ(ReadCommentTexts(path, &vendor),
              (std::vector<std::string>{u8"Title=Ünïcödé 🎵 𝄞", "ARTIST=Art", "TITLE=dup", "COMMENT=c",
                                        u8"ALBUM=Narrow Ä", "LYRICS=la\nla", "ENCODER=enc", "=bare", "MOOD=calm"}));
    EXPECT_EQ(vendor, "Kept vendor");
    EXPECT_EQ(Pcm(path), before);
    OggPageReport pages = InspectPages(ReadBytes(path));
    EXPECT_EQ(pages.badPages, 0);
    EXPECT_TRUE(pages.numbered);
    EXPECT_TRUE(pages.granulesRise);
    EXPECT_FALSE(Exists(path + ".tmp"));
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(OggParserTest, HeaderPagesOfOtherMuxersAreReadAndRepaged) {
    OggFixture fixture;
    fixture.seconds = 2;
    fixture.comments = {"TITLE=Paged", "NOTE=" + std::string(3000, 'n')};
    const int normalPages = InspectPages(MakeOgg(fixture)).pages;
    fixture.headerSegments = 1;
    std::string path = dir_.Write("pages.ogg", MakeOgg(fixture));
    std::vector<int16_t> before = Pcm(path);
    ASSERT_GE(InspectPages(ReadBytes(path)).pages, normalPages + 8);
    ASSERT_EQ(Save(path, [](IBaseTag* h) {
                  EXPECT_EQ(TagParserGetData(h, 0), "Paged");
                  EXPECT_EQ(TagParserGetExData(h, "note").size(), 3000u);
                  TagParserSetExData(h, "NOTE", "short");
              }),
              1);
    EXPECT_EQ(InspectPages(ReadBytes(path)).pages, normalPages);
    EXPECT_EQ(Pcm(path), before);

    ASSERT_EQ(Save(path, [](IBaseTag* h) { TagParserSetExData(h, "COVERART", std::string(300 * 1024, 'c').c_str()); }),
              1);
    OggPageReport grown = InspectPages(ReadBytes(path));
    EXPECT_GE(grown.pages, normalPages + 4);
    EXPECT_EQ(grown.badPages, 0);
    EXPECT_TRUE(grown.numbered);
    EXPECT_EQ(Pcm(path), before);
    EXPECT_EQ(ReadCommentTexts(path).back().size(), 9 + 300 * 1024u);
    // Such a header is too large for the marker search of an open by name.
    EXPECT_EQ(TagParserOpenFile(path.c_str()), nullptr);
}

TEST_F(OggParserTest, ChainedStreamIsKeptByteForByte) {
    OggFixture first, second;
    first.comments = {"TITLE=one"};
    second.serial = 99;
    second.channels = 1;
    second.comments = {"TITLE=two"};
    Bytes tail = MakeOgg(second), file = MakeOgg(first);
    file.insert(file.end(), tail.begin(), tail.end());
    std::string path = dir_.Write("chain.ogg", file);
    ASSERT_EQ(Save(path, [](IBaseTag* h) { TagParserSetDataW(h, 0, L"first, renamed"); }), 1);
    Bytes saved = ReadBytes(path);
    ASSERT_GT(saved.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), saved.end() - static_cast<long>(tail.size())));
    EXPECT_EQ(ReadCommentTexts(path), std::vector<std::string>{"TITLE=first, renamed"});
}

// Each case breaks one step of a save; the original must stay as it was.
TEST_F(OggParserTest, FailedSaveLeavesTheOriginalAndNoTemporaryFile) {
    OggFixture fixture;
    fixture.seconds = 2;
    Bytes good = MakeOgg(fixture), corrupt = good;
    corrupt[22] ^= 0xff;  // the first page's checksum
    std::string path = dir_.File("song.ogg");
    auto change = [](IBaseTag* h) { TagParserSetDataW(h, 0, L"Changed"); };
    const struct {
        const char* what;
        Bytes data;
        std::function<int()> save;  // ApplyFile's result
    } cases[] = {
        {"corrupt stream", corrupt, [&] { return Save(path, change); }},
        {"disk full", good,
         [&] {
             return RunInChild([&] {
                 std::signal(SIGXFSZ, SIG_IGN);
                 struct rlimit limit = {good.size() / 2, good.size() / 2};
                 return setrlimit(RLIMIT_FSIZE, &limit) != 0 ? 99 : Save(path, change);
             });
         }},
        {"temporary name taken by a folder", good,
         [&] {
             mkdir((path + ".tmp").c_str(), 0755);
             int result = Save(path, change);
             rmdir((path + ".tmp").c_str());
             return result;
         }},
        {"file gone before the save", good,
         [&] {
             return Save(path, [&](IBaseTag* h) {
                 change(h);
                 WriteBytes(dir_.File("song.kept"), ReadBytes(path));
                 unlink(path.c_str());
             });
         }},
    };
    for (const auto& c : cases) {
        WriteBytes(path, c.data);
        EXPECT_EQ(c.save(), 0) << c.what;
        if (!Exists(path)) rename(dir_.File("song.kept").c_str(), path.c_str());
        EXPECT_EQ(ReadBytes(path), c.data) << c.what;
        EXPECT_FALSE(Exists(path + ".tmp")) << c.what;
    }
}

}  // namespace
