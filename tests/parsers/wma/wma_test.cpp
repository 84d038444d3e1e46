// Windows Media files through the exports: the field table, the technical and
// description texts, where the audio lies; saving, after which TagLib reads
// exactly our changes with every other attribute and the audio kept; and
// damaged headers, which are read whole or not at all and never cost the audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <tuple>

#include "tests/parsers/parser_test_files.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"
#include "tools/samples/wma_sample.h"

namespace {

using asf::Attribute;
using asf::Place;

const char kAlbum[] = "\xE6\xBC\xA2\xE5\xAD\x97 \xF0\xA0\xAE\xB7";  // beyond 16 bits, as UTF-8

// Every mapped field, some twice, and attributes the parser must not see:
// a number named as the genre, another stream. Each object's first record
// has a name found nowhere else, for the damaged-header rows.
asf::FileLayout Tagged() {
    asf::FileLayout layout;
    layout.hasContentDescription = true;
    layout.content = {u"Song", u"Singer", u"(c) Label", u"Liner notes", u"4 stars"};
    layout.attributes = {Attribute::Text(u"WM/AlbumTitle", u"\u6F22\u5B57 \U00020BB7"),
                         Attribute::Text(u"WM/Year", u"1999"),
                         Attribute::Text(u"WM/Genre", u"Jazz"),
                         Attribute::Text(u"WM/Track", u"7"),
                         Attribute::Text(u"WM/Composer", u"Writer One"),
                         Attribute::Text(u"WMFSDKVersion", u"9.00.00.2980"),
                         Attribute::Text(u"WMFSDKNeeded", u"0.0.0.0000"),
                         Attribute::Dword(u"WM/Genre", 8),
                         Attribute::Text(u"DRM_LicenseAcqURL", u"http://licence.example/get"),
                         Attribute::Text(u"WM/Mood", u"calm", Place::kMetadata, 1),
                         Attribute::Text(u"WM/Composer", u"Writer Two", Place::kMetadata),
                         Attribute::Text(u"Author", u"Guest", Place::kMetadataLibrary),
                         Attribute::Dword(u"WM/SharedUserRating", 99, Place::kMetadataLibrary)};
    return layout;
}

// The `width`-byte little-endian field at `at`: read, and overwritten.
uint64_t Field(const Bytes& file, size_t at, int width) {
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | file.at(at + i);
    return value;
}
void SetField(Bytes* file, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) file->at(at + i) = static_cast<unsigned char>(value >> (8 * i));
}

// The bytes behind the Header Object (as its size says): the audio and what follows.
Bytes AfterHeader(const Bytes& file) {
    const uint64_t header = file.size() >= 24 ? Field(file, 16, 8) : file.size();
    return header < file.size() ? Bytes(file.begin() + static_cast<long>(header), file.end())
                                : Bytes();
}

// Offset of the first `text` stored as UTF-16LE.
size_t FindUtf16(const Bytes& file, const std::u16string& text) {
    Bytes pattern;
    for (char16_t unit : text) pattern.insert(pattern.end(), {uint8_t(unit), uint8_t(unit >> 8)});
    return std::search(file.begin(), file.end(), pattern.begin(), pattern.end()) - file.begin();
}

using WmaTest = ModuleTest;

// Fields, attributes by name and the technical texts, whatever the case of
// the extension or the kind of encryption.
TEST_F(WmaTest, FieldsReadStreamZeroTextAttributesJoinedAndTechnicalTexts) {
    // The identifiers that answer, as "id=value"; the content description first.
    const std::string fields = std::string("0=Song 1=Singer;Guest 2=") + kAlbum +
                               " 3=1999 4=Jazz 5=Liner notes 6=7 14=Writer One;Writer Two"
                               " 28=9.00.00.2980 29=0.0.0.0000 30=4 stars ";
    const std::map<std::string, const char*> names = {
        {"TITLE", "Song"}, {"wm/year", "1999"}, {"Copyright", "(c) Label"},
        {"WM/Mood", ""},   {"NoSuchName", ""},  {"", ""}};  // stream 1 only
    const std::tuple<const char*, bool, bool> cases[] = {
        // content encryption, extended content encryption
        {"tagged.wma", false, false},
        {"CLIP.ASF", true, false},
        {"song.WmA", false, true}};
    for (const auto& [name, encrypted, extended] : cases) {
        SCOPED_TRACE(name);
        asf::FileLayout layout = Tagged();
        layout.contentEncryption = encrypted;
        layout.extendedContentEncryption = extended;
        const std::string path = dir_.Write(name, asf::MakeFile(layout));
        OpenedFile file(path);
        ASSERT_NE(file.get(), nullptr);
        EXPECT_EQ(TagParserGetDataW(file.get(), FIELD_ALBUM), L"\u6F22\u5B57 \U00020BB7");
        EXPECT_EQ(TagParserGetFileType(file.get()), FILE_TYPE_WMA);
        std::string answers;
        for (int id = -1; id <= 40; ++id) {
            const std::string value = TagParserGetData(file.get(), id);
            if (!value.empty()) answers += std::to_string(id) + "=" + value + " ";
        }
        EXPECT_EQ(answers, fields);
        for (const auto& [key, value] : names)
            EXPECT_EQ(TagParserGetExData(file.get(), key.c_str()), value) << key;
        const std::string protection = encrypted || extended ? "Encrypted" : "Not Encrypted";
        EXPECT_EQ(TagParserGetFileInfo(file.get(), 0),
                  "Written by: 9.00.00.2980\nNeeds: 0.0.0.0000\nProtection: " + protection +
                      "\nLicence: http://licence.example/get\n");
        for (int kind : {1, 2, 3, 4, 6, 7, 10, -1})
            EXPECT_EQ(TagParserGetFileInfo(file.get(), kind), "") << kind;
        for (auto [seconds, text] : {std::pair{215.9f, "215"}, {-0.5f, "0"}, {-7.0f, "0"}}) {
            engine_.length = seconds;
            EXPECT_EQ(TagParserGetFileInfo(file.get(), 5), text) << seconds;
        }
        EXPECT_EQ(engine_.lastPath, path);
        EXPECT_EQ(engine_.lastWide, 0);
    }
    EXPECT_EQ(OpenedFile(dir_.File("missing.wma")).get(), nullptr);
}

TEST_F(WmaTest, DescriptionsAndTemplatesFallBackToTheFileTitle) {
    auto described = [&](const std::u16string(&texts)[4]) {  // title, artist, album, track
        asf::FileLayout layout;
        layout.hasContentDescription = true;
        layout.content = {texts[0], texts[1], u"", u"note", u""};
        layout.attributes = {
            Attribute::Text(u"WM/Year", u"2001"), Attribute::Text(u"WM/Genre", u"Pop"),
            Attribute::Text(u"WM/AlbumTitle", texts[2]), Attribute::Text(u"WM/Track", texts[3])};
        return dir_.Write("my.song.wma", asf::MakeFile(layout));
    };
    const struct {
        std::u16string texts[4];
        std::string kinds;  // kinds 0 to 9 joined by "|", 5 (the template) left empty
        std::vector<std::pair<const char*, const char*>> templates;
    } cases[] = {
        {{u"T", u"R", u"A", u"K"},
         "T - R|R - T|T - A - R|my.song - K|T - my.song||T|my.song|K - T|K - my.song",
         {{"%artist% - %title% (%album%, %year%, %genre%) #%track% %comment%",
           "R - T (A, 2001, Pop) #K note"},
          {"%title% / %title%", "T / %title%"},
          {"%filename%|%folder%|", "my.song||"},
          {"%folder%", "my.song"}}},  // only removed: nothing was filled
        // "%%" is replaced first, and counts as filled.
        {{u"", u"", u"", u""},
         "my.song|my.song|my.song|my.song|my.song||my.song|my.song|my.song|my.song",
         {{"[%title%]", "[my.song]"}, {"%artist%%album%", "album%"}}},
    };
    for (const auto& c : cases) {
        OpenedFile file(described(c.texts));
        for (int flag : {0, 1}) {
            std::string kinds;
            for (int kind = 0; kind < 10; ++kind) {
                kinds += (kind ? "|" : "") +
                         (kind == 5 ? "" : TagParserGetDescription(file.get(), kind, "", flag));
            }
            EXPECT_EQ(kinds, c.kinds) << flag;
        }
        for (auto [pattern, result] : c.templates)
            EXPECT_EQ(TagParserGetDescription(file.get(), 5, pattern, 0), result);
        for (int kind : {10, -1, 100})
            EXPECT_EQ(TagParserGetDescription(file.get(), kind, "%title%", 0), "");
    }
    OpenedFile wide(described({u"\U0001F3B5", u"", u"", u""}));
    EXPECT_EQ(TagParserGetDescriptionW(wide.get(), 4, "", 0), L"\U0001F3B5 - my.song");
}

// The data body, or the whole file when the walk meets a damaged object;
// past 4 GiB, positions come in their low 32 bits, without the walk wrapping.
TEST_F(WmaTest, SourceRangeIsTheDataBodyOrTheWholeFile) {
    asf::FileLayout layout;
    layout.indexObject = true;
    const Bytes valid = asf::MakeFile(layout);
    const int start = asf::DataBodyStart(layout), end = asf::DataBodyEnd(layout);
    const int length = valid.size(), header = start - 24;
    auto resized = [&](size_t at, uint64_t size) {
        Bytes file = valid;
        SetField(&file, at + 16, size, 8);
        return file;
    };
    const std::tuple<const char*, Bytes, int, int> cases[] = {
        {"valid, index after the data", valid, start, end},
        {"file cut inside the packets", Bytes(valid.begin(), valid.begin() + end - 100), 0,
         end - 100},
        {"header smaller than its own header", resized(0, 23), 0, length},
        {"header larger than the file", resized(0, header + length), 0, length},
        {"data shorter than its packets", resized(header, 24 + 50), start, start + 50},
        {"broken index after the data", resized(end, 0), start, end},
        {"empty file", Bytes(), 0, 0},
    };
    for (const auto& [what, bytes, from, to] : cases) {
        OpenedFile file(dir_.Write("walk.wma", bytes));
        EXPECT_EQ(RangeOf(file.get()), Range(from, to, 0)) << what;
    }
    int from = 100, count = 2000;
    EXPECT_EQ(TagParserGetMD5(OpenedFile(dir_.Write("digest.wma", valid)).get(), &from, &count),
              Md5sum(valid, 100, 2000));
    // Header, then a 4 GiB object left as a hole, then the Data Object: a
    // 32-bit walk would wrap and miss it.
    const Bytes data = AfterHeader(valid);
    const uint64_t gap = (4ull << 30) + 24;
    Bytes head(valid.begin(), valid.begin() + header);
    head.resize(header + 24, 0x5A);
    SetField(&head, header + 16, gap, 8);
    std::string path = dir_.Write("huge.wma", head);
    std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)
        .seekp(header + gap)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    const uint64_t bodyStart = header + gap + 24;
    TagParserGetSourceLength(OpenedFile(path).get(), &from, &count);
    EXPECT_EQ(from, static_cast<int>(static_cast<uint32_t>(bodyStart)));
    EXPECT_EQ(count, static_cast<int>(static_cast<uint32_t>(bodyStart + end - start)));
}

// A damaged header is read whole or not at all, and saved only when whole; a
// value too long to store fails the save. Neither ever costs the audio.
TEST_F(WmaTest, DamagedHeadersAndValuesTooLongAreRefusedWholeAndTheAudioIsKept) {
    asf::FileLayout layout = Tagged();
    layout.contentEncryption = true;
    const Bytes valid = asf::MakeFile(layout);
    const uint64_t header = Field(valid, 16, 8);
    const size_t title = FindUtf16(valid, u"Song"), album = FindUtf16(valid, u"WM/AlbumTitle");
    const size_t mood = FindUtf16(valid, u"WM/Mood"), library = FindUtf16(valid, u"Author");
    struct Input {
        std::string what;
        Bytes file;
        bool read, saved;         // read: fields and protection are read
        std::string name, value;  // an attribute saved along with the album
    };
    // Overwrites the field at `at` (`width` bytes, holding `old`); never saved.
    auto row = [&](const char* what, size_t at, int width, uint64_t old, uint64_t value,
                   bool read) {
        EXPECT_EQ(Field(valid, at, width), old) << what << ": the row misses its field";
        Bytes file = valid;
        SetField(&file, at, value, width);
        return Input{what, file, read, false, "", ""};
    };
    std::vector<Input> inputs = {
        row("not a Header Object", 0, 1, 0x30, 0x31, false),
        row("header claims everything", 16, 8, header, ~0ull, true),
        row("header smaller than its start", 16, 8, header, 26, false),
        row("absurd object count", 24, 4, 6, 0xFFFFFFFF, false),
        row("one object fewer counted", 24, 4, 6, 5, true),
        row("first child claims 4 GB", 46, 8, 104, 4ull << 30, false),
        row("first child of size 0", 46, 8, 104, 0, false),
        row("title length odd and long", title - 10, 2, 10, 0x7FFF, false),
        row("extended record count huge", album - 4, 2, 9, 0xFFFF, false),
        row("value length past the end", album + 30, 2, 12, 0xFFFF, false),
        row("extension data size short of its objects", mood - 42, 4, 242, 122, false),
        row("metadata record count huge", mood - 14, 2, 2, 0xFFFF, false),
        row("metadata value length huge", mood - 4, 4, 10, 0xFFFFFFFF, false),
        row("library record count huge", library - 14, 2, 2, 0xFFFF, false),
    };
    for (size_t cut = 0; cut < header + 60; cut += 13) {
        const bool whole = cut >= header;  // a whole header before cut packets is read and saved
        inputs.push_back({"cut at " + std::to_string(cut),
                          Bytes(valid.begin(), valid.begin() + cut), whole, whole, "", ""});
    }
    std::string longest;  // 32766 UTF-16 units
    for (int i = 0; i < 16383; ++i) longest += "\xF0\x9F\x8E\xB5";
    for (auto [name, value, saved] : {std::tuple{"WM/Lyrics", std::string(32766, 'x'), true},
                                      {"WM/Lyrics", std::string(32767, 'x'), false},
                                      {"Title", longest, true},
                                      {"Title", longest + "\xF0\x9F\x8E\xB5", false},
                                      {"", "v", false}}) {
        const std::string what = std::to_string(value.size()) + " bytes in " + name;
        inputs.push_back({what, valid, true, saved, *name ? name : std::string(32767, 'n'), value});
    }
    for (const auto& input : inputs) {
        std::string path = dir_.Write("damaged.wma", input.file);
        OpenedFile file(path);
        ASSERT_NE(file.get(), nullptr) << input.what;
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_ALBUM), input.read ? kAlbum : "")
            << input.what;
        EXPECT_EQ(TagParserGetFileInfo(file.get(), 8), input.read ? "Encrypted" : "Not Encrypted")
            << input.what;
        TagParserSetData(file.get(), FIELD_ALBUM, "changed");
        if (!input.name.empty())
            TagParserSetExData(file.get(), input.name.c_str(), input.value.c_str());
        EXPECT_EQ(TagParserApplyFile(file.get()), input.saved) << input.what;
        const std::string why = TagParserGetExData(file.get(), LYPARSER_KEY_LAST_ERROR);
        EXPECT_EQ(why.substr(0, why.find(':')), input.saved          ? ""
                                                : input.name.empty() ? "DAMAGED"
                                                                     : "VALUE_TOO_LONG")
            << input.what;
        const Bytes after = ReadBytes(path);
        // Compared with ==: a failure must not dump a file of any size.
        EXPECT_TRUE(input.saved ? AfterHeader(after) == AfterHeader(input.file)
                                : after == input.file)
            << input.what;
        const char* album = input.saved ? "changed" : input.read ? kAlbum : "";
        OpenedFile again(path);
        EXPECT_EQ(TagParserGetData(again.get(), FIELD_ALBUM), album) << input.what;
        EXPECT_TRUE(!input.saved ||
                    TagParserGetExData(again.get(), input.name.c_str()) == input.value);
    }
}

// Prints each file's attributes as mutagen reads them: one JSON object per
// file, each name with its values in order as "Type:value".
constexpr char kMutagenAttributes[] = R"(import sys, json, mutagen
for path in sys.argv[1:]:
    tags = {}
    for name, value in mutagen.File(path).tags:
        text = value.value.hex() if isinstance(value.value, bytes) else str(value.value)
        tags.setdefault(name, []).append(type(value).__name__[3:-9] + ':' + text)
    print(json.dumps(tags, ensure_ascii=False))
)";

// What mutagen and other taggers write: no content-description texts they
// were not given, several values of a name, the track as a number; and, as
// Windows Media Player lays a header out, the header extension (where the
// later values go) ahead of the extended content description.
constexpr char kMutagenShape[] = R"(import sys, struct, mutagen
from mutagen.asf import ASFDWordAttribute
f = mutagen.File(sys.argv[1])
f.tags.clear()
f['Title'] = ['Old']
f['WM/Composer'] = ['A', 'B']
f['WM/Genre'] = ['Pop', 'Rock']
f['WM/TrackNumber'] = [ASFDWordAttribute(3)]
f.save()
data = open(sys.argv[1], 'rb').read()
size, objects, at = struct.unpack('<Q', data[16:24])[0], [], 30
while at < size:
    objects.append(data[at:at + struct.unpack('<Q', data[at + 16:at + 24])[0]])
    at += len(objects[-1])
ecd = bytes.fromhex('40a4d0d207e3d21197f000a0c95ea850')
objects.sort(key=lambda o: o[:16] == ecd)
open(sys.argv[1], 'wb').write(data[:30] + b''.join(objects) + data[size:])
)";

// Each row's calls, then a save: mutagen reads the file before with exactly
// the row's changes (a JSON merge patch), so values keep their order and no
// attribute appears that nobody set. The track is WM/TrackNumber in the type
// the file uses, WM/Track kept one lower. A save that changes nothing leaves
// the file alone: same bytes, inode and modification time.
TEST_F(WmaTest, SavesChangeExactlyWhatWasSetAndReadersSeeTheRestAsBefore) {
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing (./dev.sh installs it)";
    const std::string data = LY_TEST_DATA "/";
    const std::string shaped = dir_.Write("shape.wma", ReadBytes(data + "mutagen-issue_29.wma"));
    ASSERT_EQ(RunPython(kMutagenShape, {shaped}).status, 0);
    const std::string tagged = dir_.Write("tagged.wma", asf::MakeFile(Tagged()));
    const std::string issue29 = data + "mutagen-issue_29.wma";
    const struct {
        std::string source;
        std::vector<std::string> calls;
        const char* changes;
    } rows[] = {
        // clang-format off
        {tagged, {"?#6=7", "#0=Caf\xC3\xA9 \xF0\x9F\x8E\xB5", "#6=03", "#14=" /* both values */,
                  "#5=" /* a content-description text */, "#31=nowhere",
                  "WM/Mood=happy" /* stream 1 keeps "calm" */, "WM/Genre=Blues" /* and the number */,
                  "WM/Label=upper", "wm/label=lower" /* names differing in case */},
         R"({"Title":["Unicode:Café 🎵"],"WM/TrackNumber":["Unicode:03"],"WM/Track":["Unicode:2"],
             "WM/Composer":null,"Description":null,"WM/Mood":["Unicode:happy","Unicode:calm"],
             "WM/Genre":["Unicode:Blues"],"WM/Label":["Unicode:upper"],"wm/label":["Unicode:lower"]})"},
        {issue29, {"?#6=6/15", "#6=7"}, R"({"WM/TrackNumber":["Unicode:7"],"WM/Track":["DWord:6"]})"},
        {issue29, {"#6=none"}, R"({"WM/TrackNumber":["Unicode:none"],"WM/Track":null})"},
        {data + "taglib-real_example.wma", {"?#6=1", "?#1=Shoji Meguro", "#0=New", "#6=1"},
         R"({"Title":["Unicode:New"]})"},
        {shaped, {"?#14=A;B", "?#4=Pop;Rock", "?#6=3", "#0=New"}, R"({"Title":["Unicode:New"]})"},
        {shaped, {"#14=A;B", "WM/GENRE=Pop;Rock", "#6=3", "#9="}, "{}"},
        {shaped, {"#6=4"}, R"({"WM/TrackNumber":["DWord:4"]})"},
        {shaped, {"#6=", "#14=A"}, R"({"WM/TrackNumber":null,"WM/Composer":["Unicode:A"]})"},
        // clang-format on
    };
    std::vector<std::string> paths;
    for (const auto& row : rows)
        paths.push_back(
            dir_.Write("case" + std::to_string(paths.size()) + ".wma", ReadBytes(row.source)));
    const std::vector<nlohmann::json> before = MutagenJson(kMutagenAttributes, paths);
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(rows[i].source + " " + rows[i].changes);
        const std::string state = FileState(paths[i]);
        const Bytes original = ReadBytes(paths[i]);
        OpenedFile file(paths[i]);
        MakeCalls(file.get(), rows[i].calls, true);  // fields take narrow text
        ASSERT_EQ(TagParserApplyFile(file.get()), 1);
        if (std::string(rows[i].changes) == "{}") {
            EXPECT_EQ(FileState(paths[i]), state);
        }
        EXPECT_TRUE(AfterHeader(ReadBytes(paths[i])) == AfterHeader(original));  // the audio kept
    }
    const std::vector<nlohmann::json> after = MutagenJson(kMutagenAttributes, paths);
    for (size_t i = 0; i < paths.size(); ++i) {
        nlohmann::json expected = before[i];
        expected.merge_patch(nlohmann::json::parse(rows[i].changes));
        EXPECT_EQ(after[i], expected) << rows[i].source << " " << rows[i].changes;
    }
}

// Opened by a wide name beyond 16 bits; a wide value is refused, a change is
// not seen before the save, and a second save has nothing to write.
TEST_F(WmaTest, ChangesWaitForTheSaveAndAreWrittenOnce) {
    const std::string path =
        dir_.Write("n\xC3\xBCmmer-\xF0\x9F\x8E\xB5.wma", asf::MakeFile(Tagged()));
    const std::string before = FileState(path);
    OpenedFile file(std::wstring(dir_.path().begin(), dir_.path().end()) +
                    L"/n\u00FCmmer-\U0001F3B5.wma");
    ASSERT_NE(file.get(), nullptr);
    EXPECT_EQ(TagParserGetDescriptionW(file.get(), 7, "", 0), L"n\u00FCmmer-\U0001F3B5");
    EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_ALBUM, L"Wide"), 0);  // refused
    TagParserSetData(file.get(), FIELD_TITLE, "Saved");
    EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Song");
    EXPECT_EQ(FileState(path), before);
    ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    EXPECT_EQ(
        TagParserGetData(file.get(), FIELD_TITLE) + "|" + TagParserGetData(file.get(), FIELD_ALBUM),
        std::string("Saved|") + kAlbum);
    const std::string saved = FileState(path);
    EXPECT_EQ(TagParserApplyFile(file.get()), 1);
    EXPECT_EQ(FileState(path), saved);
}

}  // namespace
