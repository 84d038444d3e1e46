// Windows Media files through the exports: the field table, the technical and
// description texts, where the audio lies; saving, after which TagLib reads
// exactly our changes with every other attribute and the audio kept; and
// damaged headers, which are read whole or not at all and never cost the audio.
#include <gtest/gtest.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>

#include <algorithm>
#include <fstream>
#include <map>

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
asf::FileSpec Tagged() {
    asf::FileSpec layout;
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

// Every attribute TagLib reads from the file, sorted, as "name|type|value|stream";
// the content-description texts that are not empty as "name|value".
std::vector<std::string> TagLibAttributes(const std::string& path) {
    TagLib::ASF::File file(path.c_str(), false);
    if (!file.isValid()) return {"not readable"};
    const TagLib::ASF::Tag* tag = file.tag();
    std::vector<std::string> lines;
    const char* names[] = {"Title", "Author", "Copyright", "Description", "Rating"};
    const TagLib::String texts[] = {tag->title(), tag->artist(), tag->copyright(), tag->comment(),
                                    tag->rating()};
    for (int i = 0; i < 5; ++i)
        if (!texts[i].isEmpty()) lines.push_back(names[i] + ("|" + texts[i].to8Bit(true)));
    for (const auto& [name, list] : tag->attributeListMap()) {
        for (const TagLib::ASF::Attribute& a : list) {
            const bool text = a.type() == TagLib::ASF::Attribute::UnicodeType;
            lines.push_back(name.to8Bit(true) + "|" + std::to_string(a.type()) + "|" +
                            (text ? a.toString().to8Bit(true) : std::to_string(a.toUInt())) + "|" +
                            std::to_string(a.stream()));
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
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
        {"song.WmA", false, true},
        {"both.wma", true, true}};
    for (const auto& [name, encrypted, extended] : cases) {
        SCOPED_TRACE(name);
        asf::FileSpec layout = Tagged();
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
        asf::FileSpec layout;
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
        {{u"T", u"", u"A", u""}, "T|T|T - A|my.song|T - my.song||T|my.song|T|my.song", {}},
        {{u"  ", u" R ", u"", u""},
         "my.song - R|R - my.song|my.song - R|my.song|my.song||my.song|my.song|my.song|my.song",
         {}},
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
    asf::FileSpec layout;
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
        {"header size negative", resized(0, ~0ull - 5), 0, length},
        {"data shorter than its packets", resized(header, 24 + 50), start, start + 50},
        {"broken index after the data", resized(end, 0), start, end},
        {"empty file", Bytes(), 0, 0},
    };
    for (const auto& [what, bytes, from, to] : cases) {
        OpenedFile file(dir_.Write("walk.wma", bytes));
        int range[2] = {-7, -7};
        EXPECT_EQ(TagParserGetSourceLength(file.get(), &range[0], &range[1]), 0) << what;
        EXPECT_EQ(std::pair(range[0], range[1]), std::pair(from, to)) << what;
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
    asf::FileSpec layout = Tagged();
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

// Opened by a wide name beyond 16 bits, a save writes exactly the pending
// changes and keeps the audio behind the rewritten header.
TEST_F(WmaTest, SaveWritesExactlyThePendingChangesAndKeepsTheRest) {
    const std::string path =
        dir_.Write("n\xC3\xBCmmer-\xF0\x9F\x8E\xB5.wma", asf::MakeFile(Tagged()));
    const Bytes before = ReadBytes(path);
    OpenedFile file(std::wstring(dir_.path().begin(), dir_.path().end()) +
                    L"/n\u00FCmmer-\U0001F3B5.wma");
    ASSERT_NE(file.get(), nullptr);
    EXPECT_EQ(TagParserGetDescriptionW(file.get(), 7, "", 0), L"n\u00FCmmer-\U0001F3B5");
    EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_ALBUM, L"Wide"), 0);          // refused
    TagParserSetData(file.get(), FIELD_TITLE, "Caf\xC3\xA9 \xF0\x9F\x8E\xB5");  // beyond 16 bits
    TagParserSetData(file.get(), FIELD_TRACK, "03");
    TagParserSetData(file.get(), FIELD_COMPOSER, "");                  // removes both values
    TagParserSetData(file.get(), FIELD_COMMENT, "");                   // a content-description text
    TagParserSetData(file.get(), 31, "nowhere");                       // a field without a name
    EXPECT_EQ(TagParserSetExData(file.get(), "WM/Mood", "happy"), 1);  // stream 1 keeps "calm"
    TagParserSetExData(file.get(), "WM/Genre", "Blues");               // replaces the number too
    TagParserSetExData(file.get(), "WM/Label", "upper");               // names differing in case
    TagParserSetExData(file.get(), "wm/label", "lower");
    // Nothing happens before the save.
    EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Song");
    EXPECT_TRUE(ReadBytes(path) == before);
    ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    EXPECT_EQ(
        TagLibAttributes(path),
        (std::vector<std::string>{
            "Author|0|Guest|0", "Author|Singer", "Copyright|(c) Label",
            "DRM_LicenseAcqURL|0|http://licence.example/get|0", "Rating|4 stars",
            "Title|Caf\xC3\xA9 \xF0\x9F\x8E\xB5", std::string("WM/AlbumTitle|0|") + kAlbum + "|0",
            "WM/Genre|0|Blues|0", "WM/Label|0|upper|0", "WM/Mood|0|calm|1", "WM/Mood|0|happy|0",
            "WM/SharedUserRating|3|99|0", "WM/Track|0|03|0", "WM/Year|0|1999|0",
            "WMFSDKNeeded|0|0.0.0.0000|0", "WMFSDKVersion|0|9.00.00.2980|0",
            "wm/label|0|lower|0"}));
    EXPECT_TRUE(AfterHeader(ReadBytes(path)) == AfterHeader(before));  // the audio kept whole
}

}  // namespace
