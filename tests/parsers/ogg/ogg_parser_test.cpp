// Ogg Vorbis files through the exports: which files open (comment headers of
// any size included), the stream properties and audio range, memory images,
// comment fields by identifier and by name, and saving: that nothing is lost
// (the bytes of untouched comments, the audio, what follows the stream), that
// streams interleaved with others are refused, and that a failed save changes
// nothing. How the rewrite pages the audio is checked with the editor itself.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <tuple>

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
    int start = -1, end = -1;
    EXPECT_EQ(TagParserGetSourceLength(handle, &start, &end), static_cast<int>(data.size()));
    EXPECT_EQ(start, FindSetupMarker(data) + 10);
    EXPECT_EQ(end, static_cast<int>(data.size()) - start);
    end = 3000;
    EXPECT_EQ(TagParserGetMD5(handle, &start, &end),
              Md5sum(data, static_cast<size_t>(start), 3000));
}

TEST_F(OggParserTest, ReportsTheStreamProperties) {
    // (libvorbisenc itself leaks a setup block for 6 channels at 44.1 kHz and up.)
    const std::tuple<int, int, const char*> cases[] = {
        {1, 22050, "MONO"}, {2, 48000, "STEREO"}, {6, 32000, "STEREO"}};
    engine_.length = 7.9f;
    for (const auto& [channels, rate, mode] : cases) {
        SCOPED_TRACE(std::to_string(channels) + " " + std::to_string(rate));
        OggFixture fixture;
        fixture.channels = channels;
        fixture.rate = rate;
        fixture.serial = 0x90000001u + static_cast<uint32_t>(channels);
        fixture.vendor = "Vendor " + std::to_string(channels);
        fixture.comments = {"TITLE=Big"};
        const Bytes data = MakeOgg(fixture);
        IBaseTag* handle = Open("tone.ogg", data);
        ASSERT_NE(handle, nullptr);
        const int nominal =
            data[48] | data[49] << 8 | data[50] << 16 | data[51] << 24;  // in the first header
        EXPECT_EQ(TagParserGetFileType(handle), 2);
        EXPECT_EQ(
            TagParserGetFileInfo(handle, 0),
            "Vendor: " + fixture.vendor + "\nVersion: 0\nSample rate: " + std::to_string(rate) +
                " Hz\nNominal bit rate: " + std::to_string(nominal / 1024) +
                " kbit/s\nSerial number: " + std::to_string(static_cast<int32_t>(fixture.serial)) +
                "\nChannels: " + std::to_string(channels) + "\n");
        // Kind 5 is the engine's length, as for every parser.
        const std::string infos[] = {
            std::to_string(rate), std::to_string(nominal / 1024), "", "7", "", mode};
        for (int kind = 2; kind <= 7; ++kind)
            EXPECT_EQ(TagParserGetFileInfo(handle, kind), infos[kind - 2]) << kind;
        EXPECT_EQ(TagParserGetData(handle, 0), "Big");
    }
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
                      TagParserGetDescription(handle, 5, "<%title%|%filename%>", 0),
                  "opened.name|<opened.name|" + dir_.File("opened.name.ogg") + ">");
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

TEST_F(OggParserTest, KnownFieldsAnswerByIdentifierAndOthersByName) {
    OggFixture fixture;
    fixture.comments = {"Title=Song",     "TITLE=Other",
                        "artist=Art",     u8"ALBUM=Grüße 🎵",
                        "Date=1999",      "GENRE=Jazz",
                        "TRACKNUMBER=7",  "COMMENT=just a comment",
                        "lyrics=la la",   "REPLAYGAIN_TRACK_GAIN=-3 dB",
                        u8"ENCODER=日本", "bare text",
                        "=empty name"};
    IBaseTag* h = Open("song.name.ogg", MakeOgg(fixture));
    // Identifiers 0..4 and 6 are read by the template below; COMMENT has none.
    const std::pair<int, const char*> gets[] = {{5, ""}, {26, "la la"}, {7, ""}};
    for (const auto& get : gets) EXPECT_EQ(TagParserGetData(h, get.first), get.second) << get.first;
    EXPECT_EQ(TagParserGetDataW(h, 2), L"Grüße 🎵");
    EXPECT_EQ(TagParserGetExData(h, ""), "REPLAYGAIN_TRACK_GAIN,ENCODER,,,");
    EXPECT_EQ(TagParserGetExData(h, "encoder") + "|" + TagParserGetExData(h, "COMMENT"), u8"日本|");
    EXPECT_EQ(TagParserGetDescription(h, 2, "", 0), u8"Song - Grüße 🎵 - Art");
    EXPECT_EQ(
        TagParserGetDescription(h, 5, "%artist% - %title% (%album%, %year%) [%genre%] #%track%", 0),
        u8"Art - Song (Grüße 🎵, 1999) [Jazz] #7");

    const std::tuple<int, const wchar_t*, int, const char*> sets[] = {
        {0, L"New", 1, "New"}, {5, L"y", 1, "y"}, {0, L"", 0, "New"}};
    for (const auto& [id, value, result, after] : sets) {
        EXPECT_EQ(TagParserSetDataW(h, id, value), result) << id;
        EXPECT_EQ(TagParserGetData(h, id), after) << id;
    }
    EXPECT_EQ(TagParserSetExData(h, "encoder", "mine") + TagParserSetExData(h, "MOOD", "") +
                  TagParserSetExData(h, "TITLE", "as other"),
              3);
    EXPECT_EQ(TagParserGetExData(h, ""), "REPLAYGAIN_TRACK_GAIN,ENCODER,,,MOOD,TITLE,");
    EXPECT_EQ(TagParserGetExData(h, "ENCODER") + "|" + TagParserGetExData(h, "title") + "|" +
                  TagParserGetData(h, 0),
              "mine|as other|New");
    for (int id = -1; id <= 40; ++id)  // only identifiers with a comment name are written
        EXPECT_EQ(TagParserSetDataW(h, id, L"x"), (id >= 0 && id <= 6) || id == 26) << id;
}

// Known fields first, then the others; the vendor, duplicates, entries
// without "=", the audio, a following stream and the file's mode are kept.
TEST_F(OggParserTest, SaveLosesNothing) {
    OggFixture fixture, second;
    // Untouched comments keep their bytes, UTF-8 or not, NUL included.
    const std::string dup = "TITLE=dup Caf\xe9", bare = "bare \xff\xfe",
                      comment("COMMENT=c\0d", 11);
    fixture.comments = {"Title=Old", "ENCODER=enc", "ARTIST=Art", dup, bare, comment};
    second.serial = 99;
    Bytes tail = MakeOgg(second);
    std::string path = dir_.Write("keep.ogg", Concat(MakeOgg(fixture), tail));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const OggReadBack before = ReadBack(path);
    const std::string cover(300 * 1024, 'c');
    {
        OpenedFile file(std::wstring(path.begin(), path.end()));
        TagParserSetDataW(file.get(), 0, L"Ünïcödé 🎵 𝄞");
        TagParserSetData(file.get(), 2, u8"Narrow Ä");
        TagParserSetDataW(file.get(), 26, L"la\nla");
        TagParserSetExData(file.get(), "COVERART", cover.c_str());  // header pages grow
        ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    }
    OggReadBack after = ReadBack(path);
    EXPECT_EQ(after.texts,
              (std::vector<std::string>{fixture.vendor, u8"Title=Ünïcödé 🎵 𝄞", "ARTIST=Art", dup,
                                        comment, u8"ALBUM=Narrow Ä", "LYRICS=la\nla", "ENCODER=enc",
                                        "=" + bare, "COVERART=" + cover}));
    EXPECT_TRUE(after.complete && after.pcm == before.pcm);
    Bytes saved = ReadBytes(path);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), saved.end() - static_cast<long>(tail.size())));
    struct stat info = {};
    EXPECT_TRUE(stat(path.c_str(), &info) == 0 && (info.st_mode & 07777) == 0640);
    // The header, grown over many pages, still opens, the audio behind it.
    OpenedFile reopened(path);
    ASSERT_NE(reopened.get(), nullptr);
    EXPECT_EQ(TagParserGetData(reopened.get(), 0), u8"Ünïcödé 🎵 𝄞");
    ExpectAudioRange(reopened.get(), saved);
}

// A save that would drop or scramble another stream's pages is refused and
// leaves the file as it was; the headers, multiplexed, are read.
TEST_F(OggParserTest, SaveRefusesInterleavedStreams) {
    OggFixture fixture, other;
    fixture.comments = {"TITLE=First"};
    other.serial = 77;
    const Bytes data = InterleaveStreams(MakeOgg(fixture), MakeOgg(other), 1);
    IBaseTag* handle = Open("streams.ogg", data);
    EXPECT_EQ(TagParserGetData(handle, 0), "First");
    TagParserSetDataW(handle, 0, L"Changed");
    EXPECT_EQ(TagParserApplyFile(handle), 0);
    EXPECT_TRUE(ReadBytes(dir_.File("streams.ogg")) == data);
}

}  // namespace
