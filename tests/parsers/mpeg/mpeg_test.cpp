// The MPEG parser through the exports, on MP3 files written byte by byte (also
// tag forms TagLib would not write): opening, the technical texts and audio
// range, the fields, saving (checked by reopening and by an independent
// reader), pictures and lyrics, and damaged files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <tuple>

#include "tests/support/built_locale.h"
#include "tests/support/locale_guard.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"
#include "tools/samples/mpeg_sample.h"

namespace {

Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// `value` as `bytes` big-endian bytes, with `syncSafe` seven bits to a byte.
void Put(Bytes* out, uint32_t value, int bytes, bool syncSafe) {
    for (int i = bytes - 1; i >= 0; --i)
        out->push_back((syncSafe ? value >> 7 * i & 0x7F : value >> 8 * i) & 0xFF);
}

// One ID3v2 frame of tag version `major` (2: three-letter id and 3-byte size;
// 3: 4-byte size; 4: sync-safe size) around `body`.
Bytes Frame(int major, const std::string& id, const Bytes& body) {
    Bytes out = TextBytes(id);
    Put(&out, static_cast<uint32_t>(body.size()), major == 2 ? 3 : 4, major == 4);
    if (major > 2) out.insert(out.end(), {0, 0});
    return Concat({out, body});
}

// A Latin-1 text frame in a tag of version `v`.
Bytes Text(int v, const std::string& id, const std::string& s) {
    return Frame(v, id, Concat({{0}, TextBytes(s)}));
}

// COMM/USLT: Latin-1, `language`, empty description, the text.
Bytes Commented(int major, const std::string& id, const std::string& text,
                const std::string& language = "eng") {
    return Frame(major, id, Concat({{0}, TextBytes(language), {0}, TextBytes(text)}));
}

// APIC: Latin-1, `mime`, picture type 3, `description`, the data.
Bytes Picture(int major, const std::string& mime, const std::string& description,
              const Bytes& data) {
    return Frame(major, "APIC",
                 Concat({{0}, TextBytes(mime), {0, 3}, TextBytes(description), {0}, data}));
}

// An ID3v2.`major` tag: `frames`, then `padding` zero bytes; a `declaredSize`
// other than 0 replaces the size the header states.
Bytes Tag(int major, const std::vector<Bytes>& frames, size_t padding = 0,
          uint32_t declaredSize = 0) {
    Bytes body = Concat(frames);
    body.resize(body.size() + padding, 0);
    Bytes out = {'I', 'D', '3', static_cast<unsigned char>(major), 0, 0};
    Put(&out, declaredSize ? declaredSize : static_cast<uint32_t>(body.size()), 4, true);
    return Concat({out, body});
}

Bytes Id3v1(const std::string& title) { return MakeId3v1Tag(title, "", "", "", "", 0, 255); }

// `count` frames of 128 kbit/s MPEG-1 Layer III, 417 bytes each.
Bytes Mp3Frames(int count = 20) {
    return MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, count);
}

bool Contains(const Bytes& data, const std::string& text) {
    return std::search(data.begin(), data.end(), text.begin(), text.end()) != data.end();
}

// What python3-mutagen finds in the ID3v2 tag of `path`: "(2, 4, 0)", then a
// line per frame, its encoding and mutagen's own summary, e.g. "0 COMM==eng=x"
// (empty description, language, text) or "0 APIC=other,  (image/jpeg, 3 bytes)".
std::string WideToUtf8ForTest(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        auto u = static_cast<uint32_t>(c);
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += {static_cast<char>(0xC0 | u >> 6), static_cast<char>(0x80 | (u & 0x3F))};
        } else if (u < 0x10000) {
            out += {static_cast<char>(0xE0 | u >> 12), static_cast<char>(0x80 | (u >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (u & 0x3F))};
        } else {
            out +=
                {static_cast<char>(0xF0 | u >> 18), static_cast<char>(0x80 | (u >> 12 & 0x3F)),
                 static_cast<char>(0x80 | (u >> 6 & 0x3F)), static_cast<char>(0x80 | (u & 0x3F))};
        }
    }
    return out;
}

std::string MutagenDump(const std::string& path) {
    return RunPython(
               "import sys\nfrom mutagen.id3 import ID3\nsys.stdout.reconfigure(encoding='utf-8')\n"
               "tag = ID3(sys.argv[1], load_v1=False)\nprint(tag.version)\n"
               "for f in tag.values(): print(int(f.encoding), f.pprint())\n",
               {path})
        .out;
}

constexpr char kNoMutagen[] =
    "python3-mutagen is missing: install it to check with an independent reader";

// One handle on the file last written.
class MpegTest : public ModuleTest {
protected:
    void TearDown() override { TagParserCloseFile(handle_); }

    // Writes `data` as `name` and opens it; fails the test when it does not open.
    void Open(const Bytes& data, const std::string& name = "test.mp3") {
        path_ = dir_.Write(name, data);
        Reopen();
    }
    void Reopen() {
        TagParserCloseFile(handle_);
        handle_ = TagParserOpenFile(path_.c_str());
        ASSERT_NE(handle_, nullptr) << path_;
    }
    // Keeps both tags, saves and reopens.
    void Save() {
        TagParserSetDataW(handle_, FIELD_HAS_ID3V1, L"Y");
        TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
        ASSERT_EQ(TagParserApplyFile(handle_), 1);
        Reopen();
    }
    int Locate() { return TagParserGetSourceLength(handle_, &start_, &end_); }
    std::string Get(int id) { return TagParserGetData(handle_, id); }

    std::string path_;
    IBaseTag* handle_ = nullptr;
    int start_ = 0, end_ = 0;
};

TEST_F(MpegTest, TechnicalTextsFollowTheFirstFrameAndTheReportListsThemAll) {
    // The plain header's "NO" and "None" are in the report below; dual channel reads as joint
    // stereo.
    const std::tuple<uint32_t, int, const char*> cases[] = {
        {0xFFFB9000, 7, "Stereo"},
        {0xFFFB9080, 7, "JointStereo"},
        {0xFFFB90C0, 7, "SingleChannel"},
        {0xFFFB9003, 14, "CCIT J.17"},
        {0xFFFB9001, 14, "50/15 ms"},
        {0xFFFB9002, 14, "reserved"},
        {0xFFFA9000, 13, "YES"},
        {0xFFFB9008, 11, "YES"},
        {0xFFFB9004, 12, "YES"},
        {0xFFF39000, 3, "22050"},
        {0xFFF39000, 15, "MPEG 2.0 Layer 3"},
        {0xFFFD9000, 15, "MPEG 1.0 Layer 2"},
        {0xFFFB9000, 2, "128"},
        {0xFFFB9000, 6, "NO"},
        {0xFFFB9000, 10, ""},
        {0xFFFB9000, 16, ""},
    };
    for (const auto& [header, kind, text] : cases) {
        // 128 kbit/s frames: 261 bytes in MPEG-2 Layer III, 522 in MPEG-1 Layer II.
        Open(MakeMpegFrames(header,
                            header == 0xFFF39000   ? 261
                            : header == 0xFFFD9000 ? 522
                                                   : 417,
                            30));
        Locate();
        EXPECT_EQ(TagParserGetFileInfo(handle_, kind), text)
            << std::hex << header << " kind " << kind;
    }

    Bytes file =
        Concat({Tag(4, {Text(4, "TIT2", "x")}, 78), Mp3Frames(100)});  // a tag of 100 bytes
    Open(file);
    EXPECT_EQ(TagParserGetFileType(handle_), FILE_TYPE_MP3);
    int start = 21, count = 1000;
    EXPECT_EQ(TagParserGetMD5(handle_, &start, &count), Md5sum(file, 21, 1000));
    Locate();
    EXPECT_EQ(TagParserGetFileInfo(handle_, 0),
              "File size: 41800 bytes\nID3v2 tag size: 100 bytes\nLength: 0:02\nCRC: "
              "NO\nCopyrighted: NO\n"
              "Original: NO\nEmphasis: None\nMPEG 1.0, Layer 3\nBit rate: 128 kbit/s, 100 frames\n"
              "Channel mode: Stereo\n");
    EXPECT_EQ(TagParserGetFileInfo(handle_, 1) + "|" + TagParserGetFileInfo(handle_, 5) + "|" +
                  TagParserGetFileInfo(handle_, 10),
              "41800|2|100");

    Bytes vbr = Mp3Frames(40);
    const Bytes xing = {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0, 0, 0x04, 0xD2};  // frame count 1234
    std::copy(xing.begin(), xing.end(), vbr.begin() + 4 + 32);  // after the side information
    Open(vbr);
    EXPECT_EQ(TagParserGetFileInfo(handle_, 6), "NO");  // before any search
    Locate();
    EXPECT_EQ(TagParserGetFileInfo(handle_, 6), "YES");
    EXPECT_NE(TagParserGetFileInfo(handle_, 0).find(" kbit/s(VBR), 1234 frames\n"),
              std::string::npos);
}

TEST_F(MpegTest, AudioRangeStartsAfterTheTagAndEndsByTheFormula) {
    // 50 characters of lyrics in a 1000-byte ID3v2 tag.
    Bytes lyricsFrame = Commented(4, "USLT", std::string(50, 'l'));
    Bytes tag1000 = Tag(4, {lyricsFrame}, 1000 - 10 - lyricsFrame.size());
    // Five frame candidates, none followed by another frame.
    Bytes broken = MakeMpegFrames(kMp3Header128k, 420, 5);
    const std::tuple<const char*, Bytes, int, int> cases[] = {
        // name, file, start, end - file size
        {"no tags", Mp3Frames(), 0, 0},
        {"ID3v1 only", Concat({Mp3Frames(), Id3v1("t")}), 0, -128},
        {"ID3v2 with lyrics", Concat({tag1000, Mp3Frames()}), 1000, 950},
        {"both tags", Concat({tag1000, Mp3Frames(), Id3v1("t")}), 1000, 822},
        {"five candidates fail", Concat({broken, Mp3Frames()}), -1, 0},
        {"garbage before frames", Concat({Bytes(300, 0x11), Mp3Frames()}), 300, 0},
    };
    for (const auto& [name, file, start, endMinusSize] : cases) {
        Open(file);
        int result = Locate();
        EXPECT_EQ(
            std::make_tuple(start_, end_, result),
            std::make_tuple(start, static_cast<int>(file.size()) + endMinusSize, end_ - start_))
            << name;
    }
}

TEST_F(MpegTest, DescriptionsTakeThePreferredTagAndFillEveryPlaceholder) {
    Open(Concat({Tag(4, {Text(4, "TIT2", "Two"), Text(4, "TALB", "LP")}), Mp3Frames(),
                 MakeId3v1Tag("One ", "Band", "", "1999", "", 4, 17)}),
         "Live Set.mp3");
    const std::string cases[][4] = {
        {"2", "1", "", "Two - LP - Band"},
        {"5", "0", "%folder%/%artist% %title%/%title% %year% 100%%",
         dir_.path() + "/Band One/One 1999 100%"},
        {"5", "1", "%title% [%album%] %filename%|%track%|%genre%", "Two [LP] Live Set|4|Rock"},
        {"5", "0", "%comment%", "Live Set"},  // nothing filled: the file title
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TagParserGetDescription(handle_, std::stoi(c[0]), c[2].c_str(), std::stoi(c[1])),
                  c[3])
            << c[2];
    }
}

TEST_F(MpegTest, GenreIsReadByTheRulesOfTheTagVersion) {
    const std::tuple<int, std::string, const char*> cases[] = {
        // version, field, genre
        {4, "17", "Rock"},
        {4, "147", "Synthpop"},
        {4, "148", ""},
        {4, "255", ""},
        {4, "256", "256"},
        {3, "(17)", "Rock"},
        {3, "17", "17"},
        {2, "(9)", "Metal"},
        {3, "(17)Grunge Pop", "Grunge Pop"},
        {4,
         std::string("13\0Indie Folk\0"
                     "80",
                     16),
         "Pop Indie Folk Folk"},
    };
    for (const auto& [major, field, genre] : cases) {
        Open(Concat({Tag(major, {Text(major, major == 2 ? "TCO" : "TCON", field)}), Mp3Frames()}));
        EXPECT_EQ(Get(FIELD_GENRE2), genre) << major << " " << field;
    }
}

TEST_F(MpegTest, EachFieldReadsItsOwnTag) {
    Bytes id3v2 = Tag(
        3,
        {Text(3, "TIT2", "New Title"), Text(3, "TPE1", "New Artist"), Text(3, "TALB", "New Album"),
         Text(3, "TYER", "2001"), Text(3, "TCON", "(17)Grunge Pop"),
         Commented(3, "COMM", "New note"), Text(3, "TRCK", "3/12"), Text(3, "TCOM", "Composer"),
         Text(3, "TOPE", "Original"), Text(3, "TCOP", "(c) Us"),
         Frame(3, "WXXX", Concat({{0, 0}, TextBytes("http://e.org/")})), Text(3, "TENC", "Encoder"),
         Text(3, "TBPM", "120"), Text(3, "TPOS", "1/2"), Commented(3, "USLT", "Words")});
    Open(Concat({id3v2, Mp3Frames(),
                 MakeId3v1Tag("Title1  ", "Artist1", "Album1", "1987", "Note1", 5, 9)}));
    const std::pair<int, const char*> cases[] = {
        {0, "Title1  "},
        {1, "Artist1"},
        {2, "Album1"},
        {3, "1987"},
        {4, "Metal"},
        {5, "Note1"},
        {6, "5"},
        {7, "New Title"},
        {8, "New Artist"},
        {9, "New Album"},
        {10, "2001"},
        {11, "Grunge Pop"},
        {12, "New note"},
        {13, "3/12"},
        {14, "Composer"},
        {15, "Original"},
        {16, "(c) Us"},
        {18, "Encoder"},
        {17, "http://e.org/"},
        {26, "Words"},
        {32, "120"},
        {33, ""},
        {34, ""},
        {35, "1/2"},
        {36, "Y"},
        {37, "Y"},
        {19, ""},
        {27, ""},
        {31, ""},
        {38, ""},
        {-1, ""},
    };
    for (const auto& [id, text] : cases) EXPECT_EQ(Get(id), text) << id;
}

TEST_F(MpegTest, SettersReachTheirTagAndOnlySomeCreateOne) {
    // id, value, then whether an ID3v1 and an ID3v2 tag are present, and the field read back
    const std::tuple<int, const wchar_t*, const char*, const char*> cases[] = {
        {0, L"7", "YN", "7"},        {3, L"2009-05", "YN", "2009"},
        {3, L"'9x", "YN", "'9x"},    {4, L"Synthpop", "YN", "Synthpop"},
        {4, L"rock", "YN", ""},      {6, L"3/12", "YN", "3"},
        {6, L"255", "YN", "255"},    {6, L"256", "YN", ""},
        {7, L"7", "NY", "7"},        {10, L"2009-05", "NY", "2009"},
        {10, L"07x", "NY", "07x"},   {13, L"3/12", "NY", "3/12"},
        {11, L"7", "NY", "Hip-Hop"}, {11, L"rock", "NY", "rock"},
        {11, L"", "NN", ""},         {14, L"7", "NY", "7"},
        {32, L"7", "NY", "7"},       {35, L"7", "NY", "7"},
        {17, L"7", "NN", ""},        {26, L"", "NN", ""},
        {34, L"7", "NN", ""},        {99, L"7", "NN", ""},
    };
    for (const auto& [id, value, has, read] : cases) {
        Open(Mp3Frames());
        EXPECT_EQ(TagParserSetDataW(handle_, id, value), 1) << id;
        EXPECT_EQ(Get(FIELD_HAS_ID3V1) + Get(FIELD_HAS_ID3V2) + "|" + Get(id),
                  std::string(has) + "|" + read)
            << id << " " << value;
    }
}

// Narrow text means the characters its bytes spell in the calling thread's
// code page, in every field; it reads back as the same bytes wherever the
// tag can hold the characters. A wide value keeps its characters everywhere.
TEST_F(MpegTest, NarrowValuesAreTheCharactersOfTheCallersCodePage) {
    struct Case {
        const char* source;  // for localedef; null: C.UTF-8, which every machine has
        const char* charmap;
        std::string narrow;       // a title in that code page
        std::wstring characters;  // what it means
        std::wstring latin1;      // what the Latin-1 places (ID3v1, URL) hold
    };
    const Case cases[] = {
        {nullptr, nullptr, "Caf\xc3\xa9 \xf0\x9f\x8e\xb5", L"Caf\u00e9 \U0001F3B5", L"Caf\u00e9 ?"},
        {"en_US", "ISO-8859-1", "Caf\xe9", L"Caf\u00e9", L"Caf\u00e9"},
        {"ja_JP", "EUC-JP", "\xa5\xab\xa5\xd5\xa5\xa7", L"\u30ab\u30d5\u30a7", L"???"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<BuiltLocale> built(c.source ? new BuiltLocale(c.source, c.charmap)
                                                    : nullptr);
        if (built && !built->ok()) GTEST_SKIP() << "localedef cannot build " << c.charmap;
        ThreadLocale locale(built ? built->name() : "C.UTF-8");
        const std::string name = built ? c.charmap : "UTF-8";
        ASSERT_TRUE(locale.ok()) << name;
        Open(Concat({Mp3Frames(), Id3v1("")}));
        TagParserSetDataW(handle_, FIELD_HAS_ID3V1, L"Y");
        TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
        for (int id : {FIELD_TITLE, FIELD_TITLE2, FIELD_COMMENT2, FIELD_URL}) {
            TagParserSetData(handle_, id, c.narrow.c_str());
            const bool latin1 = id == FIELD_TITLE || id == FIELD_URL;
            // The ID3v1 tag is cut to Latin-1 when it is written, the URL at once.
            EXPECT_EQ(TagParserGetDataW(handle_, id), id == FIELD_URL ? c.latin1 : c.characters)
                << name << " " << id;
            if (!latin1) {
                EXPECT_EQ(Get(id), c.narrow) << name << " " << id;
            }
        }
        // A picture's name is a path: its bytes go to the file system as they are,
        // even where they spell nothing in the code page.
        const std::string picture = dir_.Write("cover\xe9\xff.jpg", Bytes(77, 1));
        TagParserSetData(handle_, FIELD_PICTURE, picture.c_str());
        EXPECT_EQ(Get(FIELD_PICTURE_INFO), "77") << name;
        // A wide comment is not sent through the code page: the emoji stays.
        TagParserSetDataW(handle_, FIELD_COMMENT2, L"\u00e9 \U0001F3B5");
        EXPECT_EQ(TagParserGetDataW(handle_, FIELD_COMMENT2), L"\u00e9 \U0001F3B5") << name;
        ASSERT_EQ(TagParserApplyFile(handle_), 1) << name;
        Reopen();
        EXPECT_EQ(Get(FIELD_TITLE2), c.narrow) << name;
        EXPECT_EQ(TagParserGetDataW(handle_, FIELD_TITLE), c.latin1) << name;
        if (!HaveMutagen()) continue;
        std::string dump = MutagenDump(path_);
        std::string title = WideToUtf8ForTest(c.characters);
        EXPECT_NE(dump.find("3 TIT2=" + title + "\n"), std::string::npos) << name << dump;
        EXPECT_NE(dump.find("3 COMM==   =\xc3\xa9 \xf0\x9f\x8e\xb5\n"), std::string::npos)
            << name << dump;
    }
}

// URL values of up to 9999 characters are kept; a longer one removes the frame.
TEST_F(MpegTest, UrlsLongerThanTheFrameAllowsRemoveIt) {
    Open(Mp3Frames());
    TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
    for (const auto& [value, read] : {std::pair{std::wstring(9999, L'u'), std::wstring(9999, L'u')},
                                      std::pair{std::wstring(10000, L'u'), std::wstring()}}) {
        TagParserSetDataW(handle_, FIELD_URL, value.c_str());
        EXPECT_EQ(TagParserGetDataW(handle_, FIELD_URL), read);
    }
}

TEST_F(MpegTest, SavesVersion24WithUtf8TextAndLatin1CommentsAndFillsEmptyFieldsAcross) {
    Open(Concat({Tag(3, {Text(3, "TIT2", "Latin title"), Commented(3, "COMM", "kept", "deu"),
                         Text(3, "TYER", "1980"), Text(3, "TRCK", "1")}),
                 Mp3Frames(), MakeId3v1Tag("", "", "V1 Album", "", "", 4, 255)}));
    const std::wstring artist = L"\u00c6r\u00f8 \u4e2d \U0001F600 \U00020BB7";
    TagParserSetDataW(handle_, FIELD_ARTIST2, artist.c_str());
    TagParserSetDataW(handle_, FIELD_GENRE2, L"Polka");
    TagParserSetDataW(handle_, FIELD_YEAR2, L"abc");  // no number above 0: the frame goes
    TagParserSetDataW(handle_, FIELD_TRACK2, L"0/12");
    TagParserSetDataW(handle_, FIELD_LYRICS, L"Verse one\nVerse two");
    TagParserSetDataW(handle_, FIELD_TITLE, L"One");
    TagParserSetDataW(handle_, FIELD_YEAR, L"1999");
    Save();
    Bytes saved = ReadBytes(path_);
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 5), (Bytes{'I', 'D', '3', 4, 0}));
    EXPECT_EQ(Bytes(saved.end() - 128, saved.end() - 122), TextBytes("TAGOne"));
    EXPECT_EQ(Bytes(saved.end() - 35, saved.end() - 31), TextBytes("1999"));
    EXPECT_TRUE(Contains(saved, std::string("TCON\0\0\0\x03\0\0\x03"
                                            "75",
                                            13)))
        << "a known genre is stored by number";
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_ARTIST2), artist);
    // Each tag's empty basic fields are filled from the other one, the filled ones kept.
    EXPECT_EQ(Get(FIELD_TITLE2) + "|" + Get(FIELD_YEAR2) + "|" + Get(FIELD_TRACK2) + "|" +
                  Get(FIELD_ALBUM2) + "|" + Get(FIELD_COMMENT) + "|" + Get(FIELD_LYRICS),
              "Latin title|1999|4|V1 Album|kept|Verse one\nVerse two");
    if (!HaveMutagen()) GTEST_SKIP() << kNoMutagen;
    std::string dump = MutagenDump(path_);
    for (const char* line :
         {"(2, 4, 0)\n", "3 TIT2=Latin title\n", "0 COMM==deu=kept\n", "3 TDRC=1999\n",
          "0 USLT==   =Verse one\nVerse two\n",
          "3 TPE1=\xc3\x86r\xc3\xb8 \xe4\xb8\xad \xf0\x9f\x98\x80 \xf0\xa0\xae\xb7\n"}) {
        EXPECT_NE(dump.find(line), std::string::npos) << line << "in:\n" << dump;
    }
}

// Mask -1: the host never set it, so the file keeps the tags it has; a mask
// set to 0 removes every tag, the APE tag too; any other keeps the APE tag.
TEST_F(MpegTest, PresenceSwitchesSetTheMaskOrStripAtOnceAndKeepApeWithATag) {
    // An APE tag of one item, as gain tools write it: the item, then the footer.
    const Bytes item = Concat(
        {{5, 0, 0, 0, 0, 0, 0, 0}, TextBytes("REPLAYGAIN_TRACK_GAIN"), {0}, TextBytes("-3 dB")});
    const Bytes ape = Concat(
        {item,
         TextBytes("APETAGEX"),
         {0xD0, 0x07, 0, 0, static_cast<unsigned char>(item.size() + 32), 0, 0, 0, 1, 0, 0, 0},
         Bytes(12, 0)});
    for (int mask = -1; mask < 4; ++mask) {
        Open(Concat({Tag(4, {Text(4, "TIT2", "two")}), Mp3Frames(), ape, Id3v1("one")}));
        TagParserSetDataW(handle_, FIELD_TITLE2, L"changed");
        if (mask >= 0) TagParserSetDataW(handle_, FIELD_HAS_ID3V1, mask & 1 ? L"y" : L"N");
        if (mask > 0 && (mask & 2)) TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
        if (mask == 0 || mask == 1) {  // switched off, the ID3v2 tag goes at once; an ID3v1 tag
                                       // switched on stays even empty
            TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"N");
            EXPECT_TRUE(ReadBytes(path_) ==
                        Concat({Mp3Frames(), ape, mask ? Id3v1("one") : Bytes()}));
            EXPECT_EQ(Get(FIELD_TITLE2) + Get(FIELD_HAS_ID3V2), "N");
            TagParserSetDataW(handle_, FIELD_TITLE, L"");
        }
        ASSERT_EQ(TagParserApplyFile(handle_), 1);
        Bytes saved = ReadBytes(path_);
        EXPECT_TRUE(mask != 0 || saved == Mp3Frames()) << "mask 0 removes every tag";
        EXPECT_TRUE(mask != 1 ||
                    Bytes(saved.begin(), saved.begin() + Mp3Frames().size()) == Mp3Frames());
        EXPECT_TRUE(mask != 1 || Bytes(saved.end() - 128, saved.end()) == Id3v1(""));
        // TagLib writes the APE tag back with a header of its own; the item stays.
        EXPECT_EQ(Contains(saved, "REPLAYGAIN_TRACK_GAIN"), mask != 0) << mask;
        EXPECT_EQ(Contains(saved, "-3 dB"), mask != 0) << mask;
        EXPECT_EQ(Contains(saved, "TAGone"), mask == 3 || mask == -1) << mask;
        EXPECT_EQ(Contains(saved, "ID3"), (mask & 2) != 0) << mask;
        EXPECT_EQ(Contains(saved, "changed"), (mask & 2) != 0) << mask;
    }
    for (const wchar_t* no : {L"", L"n", L"yes", L"x"}) {
        TagParserSetDataW(handle_, FIELD_HAS_ID3V1, L"Y");
        TagParserSetDataW(handle_, FIELD_HAS_ID3V1, no);
        EXPECT_EQ(Get(FIELD_HAS_ID3V1), "N") << no;
    }
}

TEST_F(MpegTest, ReadOnlyFileIsLeftByteForByte) {
    Bytes original = Concat({Tag(4, {Text(4, "TIT2", "keep")}), Mp3Frames(), Id3v1("keep")});
    std::string path = dir_.Write("readonly.mp3", original);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    auto save = [path] {
        OpenedFile file(path);
        if (!file.get()) return 10;
        TagParserSetDataW(file.get(), FIELD_TITLE2, L"changed");
        TagParserSetDataW(file.get(), FIELD_HAS_ID3V2, L"Y");
        return TagParserApplyFile(file.get());
    };
    EXPECT_EQ(RunInChild(save, true), 0);
    EXPECT_TRUE(ReadBytes(path) == original);
}

TEST_F(MpegTest, PicturesAndLyricsAreCopiedExactlyReplacedAndDeleted) {
    Bytes buffer(4321 + 16, 0xA5);
    Open(Mp3Frames());  // no tag: no picture, and nothing to delete
    EXPECT_EQ(TagParserDeleteAttachedPicture(handle_), 1);
    EXPECT_EQ(TagParserGetAttachedPictureData(handle_, buffer.data()), 0);

    Bytes stored = PatternBytes(4321, 3), image = PatternBytes(3000, 9);
    Open(Concat(
        {Tag(3, {Picture(3, "image/png", "Front", stored), Text(3, "TIT2", "t"),
                 Commented(3, "USLT", "old"), Picture(3, "image/gif", "", PatternBytes(20))}),
         Mp3Frames()}));
    EXPECT_EQ(Get(FIELD_PICTURE) + "|" + Get(FIELD_PICTURE_INFO) + "|" + Get(FIELD_LYRICS),
              "Front [image/png]|4321|old");
    EXPECT_EQ(TagParserGetAttachedPictureData(handle_, buffer.data()), 4321);
    EXPECT_TRUE(buffer == Concat({stored, Bytes(16, 0xA5)})) << "nothing beyond the picture";
    // A new picture replaces every earlier one; a file that cannot be read changes nothing.
    std::string picture = dir_.Write("art.bin", image);
    TagParserSetDataW(handle_, FIELD_PICTURE, std::wstring(picture.begin(), picture.end()).c_str());
    TagParserSetDataW(handle_, FIELD_PICTURE, L"/nonexistent/picture.jpg");
    TagParserSetDataW(handle_, FIELD_LYRICS, L"new");
    EXPECT_EQ(Get(FIELD_PICTURE) + "|" + Get(FIELD_PICTURE_INFO), "[image/jpeg]|3000");
    Save();
    EXPECT_EQ(TagParserGetAttachedPictureData(handle_, buffer.data()), 3000);
    EXPECT_TRUE(Bytes(buffer.begin(), buffer.begin() + 3000) == image);
    EXPECT_EQ(TagParserDeleteAttachedPicture(handle_), 1);
    TagParserSetDataW(handle_, FIELD_LYRICS, L"");
    EXPECT_EQ(Get(FIELD_PICTURE) + "|" + Get(FIELD_PICTURE_INFO) + "|" + Get(FIELD_LYRICS) + "|" +
                  Get(FIELD_TITLE2),
              "|||t");
    if (!HaveMutagen()) GTEST_SKIP() << kNoMutagen;
    EXPECT_EQ(MutagenDump(path_),
              "(2, 4, 0)\n3 TIT2=t\n0 USLT==eng=new\n0 APIC=other,  (image/jpeg, 3000 bytes)\n");
}

TEST_F(MpegTest, MalformedFilesNeverCrashOrHang) {
    std::string fifo = dir_.File("pipe.mp3"), folder = dir_.File("folder.mp3");
    ASSERT_TRUE(mkfifo(fifo.c_str(), 0600) == 0 && mkdir(folder.c_str(), 0700) == 0);
    for (const std::string& path : {fifo, folder, dir_.File("missing.mp3")})
        EXPECT_EQ(TagParserOpenFile(path.c_str()), nullptr);
    Bytes valid = Concat({Tag(4, {Text(4, "TIT2", "title"), Commented(4, "USLT", "words")}),
                          Mp3Frames(10), MakeId3v1Tag("t", "a", "b", "2000", "c", 1, 2)});
    Bytes oversizedFrame =
        Concat({Tag(4, {Frame(4, "TIT2", TextBytes("\x03title"))}), Mp3Frames(5)});
    oversizedFrame[10 + 4 + 1] = 0x7F;  // the frame claims far more than the tag holds
    const Bytes cases[] = {
        Bytes(),
        PatternBytes(20000, 5),
        Bytes(valid.begin(), valid.begin() + 25),  // a cut ID3v2 tag
        Concat({Tag(4, {Text(4, "TIT2", "t")}, 0, (256u << 20) - 1),
                Mp3Frames(5)}),  // a tag claiming 256 MB
        oversizedFrame,
        Concat({Tag(3, {Picture(3, "image/png", "", Bytes())}), Mp3Frames(5)}),
        Concat({Tag(4, {Frame(4, "WXXX", Bytes{0})}), Mp3Frames(5)}),
        Concat({Tag(2, {Text(2, "TT2", "two"), Text(2, "TCO", "(")}), Mp3Frames(5)}),
        Bytes(4000, 0xFF),
        Bytes(valid.begin(), valid.begin() + 3000),  // cut inside the frames
        MakeId3v1Tag("", "", "", "", "", 0, 0),
        valid,  // the last one opens
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        // Every read operation on one handle.
        OpenedFile file(dir_.Write("bad.mp3", cases[i]));
        EXPECT_TRUE(file.get() || i + 1 < std::size(cases)) << "the valid file opens";
        if (!file.get()) continue;
        IBaseTag* handle = file.get();
        int start = 0, end = 0;
        TagParserGetSourceLength(handle, &start, &end);
        for (int id = -1; id <= 40; ++id) {  // field ids, and the technical and description kinds
            TagParserGetDataW(handle, id);
            TagParserGetFileInfo(handle, id);
            TagParserGetDescription(handle, id, "%title% %artist% %%", id & 1);
        }
        Bytes picture(
            static_cast<size_t>(std::atoi(TagParserGetData(handle, FIELD_PICTURE_INFO).c_str())) +
            1);
        TagParserGetAttachedPictureData(handle, picture.data());
        start = 0;
        TagParserGetMD5(handle, &start, &end);
    }
}

}  // namespace

namespace {

// Bytes this process has read through system calls so far.
long long BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    return -1;
}

// A file named .mp3 that holds no audio is never written (text mistaken for a
// tag would cut it short) and never read whole (a 4 GiB file would hang the
// player); an empty one and one holding only tags still open and save.
TEST_F(MpegTest, FilesWithoutAudioAreNeitherWrittenNorReadWhole) {
    std::string text;
    for (int line = 0; text.size() < 7000; ++line)
        text += "Line " + std::to_string(line) + ": TAG ID3 notes\n";
    const std::tuple<const char*, Bytes, int> cases[] = {
        // name, content, ApplyFile's result
        {"readme.mp3", TextBytes(text), 0},
        {"padded.mp3", Concat({Tag(3, {Text(3, "TIT2", "x")}), Bytes(3 * 1024 * 1024, 0)}), 0},
        {"empty.mp3", Bytes(), 1},
        {"tags.mp3", Concat({Tag(3, {Text(3, "TIT2", "only tags")}), Id3v1("v1")}), 1},
    };
    for (const auto& [name, data, applied] : cases) {
        Open(data, name);
        TagParserSetDataW(handle_, FIELD_TITLE2, L"changed");
        EXPECT_EQ(TagParserApplyFile(handle_), applied) << name;
        if (!applied) TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"N");  // a strip writes at once
        EXPECT_EQ(ReadBytes(path_) == data, applied == 0) << name;
        EXPECT_EQ(applied ? Get(FIELD_TITLE2) : "changed", "changed") << name;
    }

    // 4 GiB of zeros (a sparse file: nothing on disk).
    std::string huge = dir_.File("zeros.mp3");
    WriteBytes(huge, {});
    ASSERT_EQ(truncate(huge.c_str(), 4LL << 30), 0);
    const long long before = BytesReadSoFar();
    path_ = huge;
    Reopen();
    EXPECT_EQ(Locate(), 0);
    TagParserSetDataW(handle_, FIELD_TITLE2, L"changed");
    EXPECT_EQ(TagParserApplyFile(handle_), 0);
    TagParserCloseFile(handle_);
    handle_ = nullptr;
    EXPECT_LT(BytesReadSoFar() - before, 8 << 20);
}

}  // namespace

// A frame TagLib cannot decode (encrypted) cannot take a value: the new value
// takes its place, and no such frame is written back as plain text.
TEST_F(MpegTest, UndecodableFramesAreReplacedNeverWrittenAsGarbage) {
    Bytes secret = Text(3, "TIT2", "sealed");
    secret[9] |= 0x40;  // the encryption flag
    Bytes lyrics = Commented(3, "USLT", "words");
    lyrics[9] |= 0x40;
    Open(Concat({Tag(3, {secret, lyrics, Text(3, "TPE1", "kept")}), Mp3Frames()}));
    TagParserSetDataW(handle_, FIELD_TITLE2, L"New");
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_TITLE2), L"New");
    Save();
    EXPECT_EQ(Get(FIELD_TITLE2) + "|" + Get(FIELD_ARTIST2) + "|" + Get(FIELD_LYRICS), "New|kept|");
    if (!HaveMutagen()) GTEST_SKIP() << kNoMutagen;
    EXPECT_EQ(MutagenDump(path_), "(2, 4, 0)\n3 TPE1=kept\n3 TIT2=New\n");
}
