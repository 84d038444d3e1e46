// Reading Windows Media files through the exports: the field table, the
// technical and description texts, where the audio lies, and damaged headers,
// which must never crash, hang or cost the audio on a save.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "tests/support/asf_fixtures.h"
#include "tests/support/locale_guard.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"

namespace {

using asf::Attribute;
using asf::Place;

class WmaReadTest : public ModuleTest {
protected:
    // Every mapped field, some twice, and attributes the parser must not see:
    // a number named as the genre, another stream.
    static asf::FileSpec TaggedSpec() {
        asf::FileSpec layout;
        layout.hasContentDescription = true;
        layout.content = {u"Song", u"Singer", u"(c) Label", u"Liner notes", u"4 stars"};
        layout.attributes = {
            Attribute::Text(u"WM/AlbumTitle", u"\u6F22\u5B57 \U00020BB7"), Attribute::Text(u"WM/Year", u"1999"),
            Attribute::Text(u"WM/Genre", u"Jazz"), Attribute::Text(u"WM/Track", u"7"),
            Attribute::Text(u"WM/Composer", u"Writer One"),
            Attribute::Text(u"WM/Composer", u"Writer Two", Place::kMetadata),
            Attribute::Text(u"WMFSDKVersion", u"9.00.00.2980"), Attribute::Text(u"WMFSDKNeeded", u"0.0.0.0000"),
            Attribute::Text(u"Author", u"Guest", Place::kMetadataLibrary), Attribute::Dword(u"WM/Genre", 8),
            Attribute::Text(u"WM/Mood", u"calm", Place::kMetadata, 1),
            Attribute::Text(u"DRM_LicenseAcqURL", u"http://licence.example/get"),
        };
        return layout;
    }
    // A file named `name` with the given title, artist, album and track.
    std::string Described(const std::string& name, const std::u16string& title, const std::u16string& artist,
                          const std::u16string& album, const std::u16string& track) {
        asf::FileSpec layout;
        layout.hasContentDescription = true;
        layout.content = {title, artist, u"", u"note", u""};
        layout.attributes = {Attribute::Text(u"WM/Year", u"2001"), Attribute::Text(u"WM/Genre", u"Pop"),
                             Attribute::Text(u"WM/AlbumTitle", album), Attribute::Text(u"WM/Track", track)};
        return dir_.Write(name, asf::MakeFile(layout));
    }
};

TEST_F(WmaReadTest, FieldsReadStreamZeroTextAttributesJoined) {
    const std::map<int, const char*> fields = {
        {FIELD_TITLE, "Song"}, {FIELD_ARTIST, "Singer;Guest"},  // content description first
        {FIELD_ALBUM, "\xE6\xBC\xA2\xE5\xAD\x97 \xF0\xA0\xAE\xB7"}, {FIELD_YEAR, "1999"},
        {FIELD_GENRE, "Jazz"}, {FIELD_COMMENT, "Liner notes"}, {FIELD_TRACK, "7"},
        {FIELD_COMPOSER, "Writer One;Writer Two"}, {FIELD_WM_SDK_VERSION, "9.00.00.2980"},
        {FIELD_WM_SDK_NEEDED, "0.0.0.0000"}, {FIELD_RATING, "4 stars"}};
    const std::map<std::string, const char*> names = {
        {"TITLE", "Song"}, {"wm/year", "1999"}, {"Copyright", "(c) Label"},
        {"WM/Mood", ""}, {"NoSuchName", ""}, {"", ""}};  // stream 1 only
    for (auto [name, locale] : {std::pair{"tagged.wma", "C"}, {"CLIP.ASF", "C.UTF-8"}, {"song.WmA", "C"}}) {
        ThreadLocale guard(locale);
        OpenedFile file(dir_.Write(name, asf::MakeFile(TaggedSpec())));
        ASSERT_TRUE(guard.ok() && file.get()) << name;
        EXPECT_EQ(TagParserGetDataW(file.get(), FIELD_ALBUM), L"\u6F22\u5B57 \U00020BB7") << locale;
        EXPECT_EQ(TagParserGetFileType(file.get()), FILE_TYPE_WMA) << name;
        for (int id = -1; id <= 40; ++id) {
            EXPECT_EQ(TagParserGetData(file.get(), id), fields.count(id) ? fields.at(id) : "") << name << id;
        }
        for (const auto& [key, value] : names) {
            EXPECT_EQ(TagParserGetExData(file.get(), key.c_str()), value) << key;
        }
    }
    EXPECT_EQ(OpenedFile(dir_.File("missing.wma")).get(), nullptr);
}

TEST_F(WmaReadTest, TechnicalTextsReportVersionsProtectionLicenceAndLength) {
    for (int drm = 0; drm < 4; ++drm) {  // content encryption, extended, both
        asf::FileSpec layout = TaggedSpec();
        layout.contentEncryption = drm & 1;
        layout.extendedContentEncryption = drm & 2;
        OpenedFile file(dir_.Write("drm.wma", asf::MakeFile(layout)));
        EXPECT_EQ(TagParserGetFileInfo(file.get(), 8), drm ? "Encrypted" : "Not Encrypted") << drm;
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Song") << drm;
    }
    std::string path = dir_.Write("info.wma", asf::MakeFile(TaggedSpec()));
    OpenedFile file(path);
    EXPECT_EQ(TagParserGetFileInfo(file.get(), 0),
              "Written by: 9.00.00.2980\nNeeds: 0.0.0.0000\nProtection: Not Encrypted\n"
              "Licence: http://licence.example/get\n");
    EXPECT_EQ(TagParserGetFileInfo(file.get(), 9), "http://licence.example/get");
    for (int kind : {1, 2, 3, 4, 6, 7, 10, -1}) EXPECT_EQ(TagParserGetFileInfo(file.get(), kind), "") << kind;
    for (auto [seconds, text] : {std::pair{215.9f, "215"}, {0.0f, "0"}, {-0.5f, "0"}, {-7.0f, "0"}}) {
        engine_.length = seconds;
        EXPECT_EQ(TagParserGetFileInfo(file.get(), 5), text) << seconds;
    }
    EXPECT_EQ(engine_.lastPath, path);
    EXPECT_EQ(engine_.lastWide, 0);
}

TEST_F(WmaReadTest, DescriptionsJoinTheFieldsWithTheFileTitleAsFallback) {
    struct Case {
        std::u16string title, artist, album, track;
        std::vector<std::string> kinds;  // kinds 0 to 9, kind 5 skipped
    } cases[] = {
        {u"T", u"R", u"A", u"K",
         {"T - R", "R - T", "T - A - R", "my.song - K", "T - my.song", "", "T", "my.song", "K - T", "K - my.song"}},
        {u"", u"", u"", u"", {"my.song", "my.song", "my.song", "my.song", "my.song", "", "my.song", "my.song",
                              "my.song", "my.song"}},
        {u"T", u"", u"A", u"",
         {"T", "T", "T - A", "my.song", "T - my.song", "", "T", "my.song", "T", "my.song"}},
        {u"T", u"R", u"", u"K",
         {"T - R", "R - T", "T - R", "my.song - K", "T - my.song", "", "T", "my.song", "K - T", "K - my.song"}},
        {u"  ", u" R ", u"", u"", {"my.song - R", "R - my.song", "my.song - R", "my.song", "my.song", "",
                                  "my.song", "my.song", "my.song", "my.song"}},
    };
    for (const auto& c : cases) {
        OpenedFile file(Described("my.song.wma", c.title, c.artist, c.album, c.track));
        for (int kind = 0; kind <= 9; ++kind) {
            if (kind == 5) continue;
            EXPECT_EQ(TagParserGetDescription(file.get(), kind, "", 0), c.kinds[kind]) << kind;
            EXPECT_EQ(TagParserGetDescription(file.get(), kind, "", 1), c.kinds[kind]) << kind;
        }
        for (int kind : {10, -1, 100}) EXPECT_EQ(TagParserGetDescription(file.get(), kind, "%title%", 0), "");
    }
    OpenedFile wide(Described("x.wma", u"\U0001F3B5", u"", u"", u""));
    EXPECT_EQ(TagParserGetDescriptionW(wide.get(), 4, "", 0), L"\U0001F3B5 - x");
    const std::string path = dir_.File("x.wma");
    OpenedFile byWide(std::wstring(path.begin(), path.end()));
    EXPECT_EQ(TagParserGetDescriptionW(byWide.get(), 3, "", 0), L"x");
}

TEST_F(WmaReadTest, TemplateFillsFirstPlaceholdersOrFallsBackToTheFileTitle) {
    OpenedFile file(Described("tpl.wma", u"T", u"R", u"A", u"K"));
    const std::pair<const char*, const char*> cases[] = {
        {"%artist% - %title% (%album%, %year%, %genre%) #%track% %comment%", "R - T (A, 2001, Pop) #K note"},
        {"%title% / %title%", "T / %title%"}, {"%filename%|%folder%|", "tpl||"}, {"no placeholder", "tpl"},
        {"", "tpl"}, {"%%x", "%x"}, {"%folder%", "tpl"}};  // only removed: nothing was filled
    for (auto [pattern, result] : cases) {
        EXPECT_EQ(TagParserGetDescription(file.get(), 5, pattern, 0), result) << pattern;
    }
    OpenedFile empty(Described("bare.wma", u"", u"", u"", u""));
    EXPECT_EQ(TagParserGetDescription(empty.get(), 5, "[%title%]", 0), "[bare]");
    EXPECT_EQ(TagParserGetDescription(empty.get(), 5, "%artist% %album%", 0), "bare");
    // "%%" is replaced first, and counts as filled.
    EXPECT_EQ(TagParserGetDescription(empty.get(), 5, "%artist%%album%", 0), "album%");
}

TEST_F(WmaReadTest, SourceRangeIsTheDataBodyOrTheWholeFile) {
    asf::FileSpec layout;
    layout.indexObject = true;
    const Bytes valid = asf::MakeFile(layout);
    const int start = asf::DataBodyStart(layout), end = asf::DataBodyEnd(layout);
    const int length = valid.size(), header = start - 24;
    auto resized = [&](size_t offset, uint64_t size) {
        Bytes file = valid;
        SetAsfObjectSize(&file, offset, size);
        return file;
    };
    asf::FileSpec bare = layout;
    bare.dataObject = false;
    const Bytes noData = asf::MakeFile(bare);
    struct Case {
        const char* what;
        Bytes file;
        int start, end;
    } cases[] = {
        {"valid, index after the data", valid, start, end},
        {"no Data Object", noData, 0, static_cast<int>(noData.size())},
        {"file cut inside the packets", Bytes(valid.begin(), valid.begin() + end - 100), 0, end - 100},
        {"header smaller than its own header", resized(0, 23), 0, length},
        {"header larger than the file", resized(0, header + length), 0, length},
        {"header size negative", resized(0, ~0ull - 5), 0, length},
        {"data larger than what remains", resized(header, length - header + 1), 0, length},
        {"data shorter than its packets", resized(header, 24 + 50), start, start + 50},
        {"broken index after the data", resized(end, 0), start, end},
        {"empty file", Bytes(), 0, 0},
    };
    for (const auto& c : cases) {
        OpenedFile file(dir_.Write("walk.wma", c.file));
        int from = -7, to = -7;
        EXPECT_EQ(TagParserGetSourceLength(file.get(), &from, &to), 0) << c.what;
        EXPECT_EQ(from, c.start) << c.what;
        EXPECT_EQ(to, c.end) << c.what;
    }
    OpenedFile file(dir_.Write("digest.wma", valid));
    int from = 100, count = 2000;
    EXPECT_EQ(TagParserGetMD5(file.get(), &from, &count), Md5sum(valid, 100, 2000));
}

TEST_F(WmaReadTest, FilesBeyondFourGigabytesAreWalkedWithoutWrapping) {
    // Header, then a 4 GiB object left as a hole, then the Data Object: a
    // 32-bit walk would wrap and miss it. Positions come in their low 32 bits.
    const Bytes valid = asf::MakeFile(asf::FileSpec());
    const Bytes data = AfterAsfHeader(valid);
    const size_t header = valid.size() - data.size();
    const uint64_t gap = (4ull << 30) + 24;
    Bytes gapHeader(24, 0x5A);
    SetAsfObjectSize(&gapHeader, 0, gap);
    Bytes head(valid.begin(), valid.begin() + header);
    head.insert(head.end(), gapHeader.begin(), gapHeader.end());
    std::string path = dir_.Write("huge.wma", head);
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(header + gap)), 0);
    std::ofstream(path, std::ios::binary | std::ios::app)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    const uint64_t bodyStart = header + gap + 24;
    OpenedFile file(path);
    int from = -7, to = -7;
    TagParserGetSourceLength(file.get(), &from, &to);
    EXPECT_EQ(from, static_cast<int>(static_cast<uint32_t>(bodyStart)));
    EXPECT_EQ(to, static_cast<int>(static_cast<uint32_t>(bodyStart + data.size() - 24)));
}

TEST_F(WmaReadTest, DamagedHeadersAreReadOrRefusedWholeAndTheAudioIsKept) {
    asf::FileSpec layout;
    layout.hasContentDescription = true;
    layout.content = {u"Heading", u"Artist", u"(c)", u"Comment", u"Rating"};
    layout.attributes = {Attribute::Text(u"WM/AlbumTitle", u"Album"),
                         Attribute::Text(u"WM/Composer", u"One", Place::kMetadata),
                         Attribute::Text(u"WM/Lyrics", u"Words", Place::kMetadataLibrary)};
    layout.contentEncryption = true;
    const Bytes valid = asf::MakeFile(layout);
    const uint64_t header = ReadLittleEndian(valid, 16, 8);
    const size_t heading = FindUtf16(valid, u"Heading"), album = FindUtf16(valid, u"WM/AlbumTitle");
    const size_t composer = FindUtf16(valid, u"WM/Composer"), lyrics = FindUtf16(valid, u"WM/Lyrics");
    struct Input {
        std::string what;
        Bytes file;
        bool read;  // the header is parsed: fields and protection are read
        bool saved;
    };
    // Overwrites the field at `at` (`width` bytes, holding `old`); never saved.
    auto row = [&](const char* what, size_t at, int width, uint64_t old, uint64_t value, bool read) {
        EXPECT_EQ(ReadLittleEndian(valid, at, width), old) << what << ": the row misses its field";
        Bytes file = valid;
        SetLittleEndian(&file, at, value, width);
        return Input{what, file, read, false};
    };
    std::vector<Input> inputs = {
        row("not a Header Object", 0, 1, 0x30, 0x31, false),
        row("header claims 4 GB", 16, 8, header, 4ull << 30, true),
        row("header claims everything", 16, 8, header, ~0ull, true),
        row("header smaller than its start", 16, 8, header, 26, false),
        row("absurd object count", 24, 4, 6, 0xFFFFFFFF, false),
        row("one object fewer counted", 24, 4, 6, 5, true),
        row("first child claims 4 GB", 46, 8, 104, 4ull << 30, false),
        row("first child of size 0", 46, 8, 104, 0, false),
        row("title length odd and long", heading - 10, 2, 16, 0x7FFF, false),
        row("extended record count huge", album - 4, 2, 1, 0xFFFF, false),
        row("name length past the end", album - 2, 2, 28, 0xFFFF, false),
        row("value length past the end", album + 30, 2, 12, 0xFFFF, false),
        row("extension data size wrong", composer - 42, 4, 140, 7, false),
        row("metadata record count huge", composer - 14, 2, 1, 0xFFFF, false),
        row("metadata value length huge", composer - 4, 4, 8, 0xFFFFFFFF, false),
        row("library record count huge", lyrics - 14, 2, 1, 0xFFFF, false),
    };
    for (size_t cut = 0; cut < header + 60; cut += 13) {
        const bool whole = cut >= header;  // a whole header before cut packets is read and saved
        inputs.push_back({"cut at " + std::to_string(cut), Bytes(valid.begin(), valid.begin() + cut), whole, whole});
    }
    for (const auto& input : inputs) {
        std::string path = dir_.Write("damaged.wma", input.file);
        OpenedFile file(path);
        ASSERT_NE(file.get(), nullptr) << input.what;
        for (int id = -1; id <= 38; ++id) TagParserGetDataW(file.get(), id);
        for (int kind = -1; kind <= 10; ++kind) TagParserGetDescriptionW(file.get(), kind, "%title%", 1);
        int start = -1, end = -1;
        TagParserGetSourceLength(file.get(), &start, &end);
        TagParserGetMD5(file.get(), &start, &end);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_ALBUM), input.read ? "Album" : "") << input.what;
        EXPECT_EQ(TagParserGetFileInfo(file.get(), 8), input.read ? "Encrypted" : "Not Encrypted")
            << input.what;
        TagParserSetData(file.get(), FIELD_ALBUM, "changed");
        EXPECT_EQ(TagParserApplyFile(file.get()), input.saved) << input.what;
        const Bytes after = ReadBytes(path);
        if (input.saved) {
            EXPECT_EQ(AfterAsfHeader(after), AfterAsfHeader(input.file)) << input.what;
            EXPECT_EQ(TagParserGetExData(OpenedFile(path).get(), "WM/AlbumTitle"), "changed") << input.what;
        } else {
            EXPECT_TRUE(after == input.file) << input.what;  // no dump of a file of any size
        }
    }
}

}  // namespace
