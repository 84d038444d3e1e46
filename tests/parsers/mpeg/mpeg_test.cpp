// The MPEG parser through the exports, on MP3 files written byte by byte (also
// tag forms TagLib would not write): opening, the technical texts and audio
// range, the fields, saving (checked by reopening and by python3-mutagen),
// what a 2.2 or 2.3 tag keeps when a save writes it as 2.4, and how a handle
// uses its file. Files as other programs write them, pictures among them, are
// mpeg_meaning_test's; crashes on damaged files the fuzzers' (fuzz/mpeg_fuzz.cpp,
// fuzz/mpeg_save_fuzz.cpp).
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tests/parsers/mpeg/id3_builders.h"
#include "tests/parsers/parser_test_files.h"
#include "tests/support/built_locale.h"
#include "tests/support/locale_guard.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"

namespace {

// Prints each file named and its tag, as stored (not upgraded): its version,
// then a line per frame: key, "=", texts joined with "/" ("TXXX:TRDA=May 15").
constexpr char kMutagenFrames[] = R"(import sys
from mutagen.id3 import ID3
sys.stdout.reconfigure(encoding='utf-8')
for path in sys.argv[1:]:
    tag = ID3(path, load_v1=False, translate=False)
    print(path)
    print(tag.version)
    for key, frame in tag.items(): print(key + '=' + '/'.join(map(str, frame.text)))
)";

// One handle on the file last written.
class MpegTest : public ModuleTest {
protected:
    void TearDown() override { TagParserCloseFile(handle_); }

    // Writes `data` as `name` (by default one not yet saved) and opens it;
    // fails the test when it does not open.
    void Open(const Bytes& data, const std::string& name = "") {
        path_ =
            dir_.Write(name.empty() ? "case" + std::to_string(saved_.size()) + ".mp3" : name, data);
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
    // Changes the title, saves the ID3v2 tag and reopens; CheckSavedFiles is
    // to find the title, then `frames`, in kMutagenFrames' form.
    void SaveNewTitle(const std::string& name, const std::string& frames) {
        TagParserSetDataW(handle_, FIELD_TITLE2, L"saved");
        TagParserSetData(handle_, FIELD_HAS_ID3V2, "Y");
        ASSERT_EQ(TagParserApplyFile(handle_), 1) << name;
        saved_.push_back(path_);
        dumps_ += path_ + "\n(2, 4, 0)\nTIT2=saved\n" + frames;
        Reopen();
    }
    // Reads every file SaveNewTitle saved with one run of python3-mutagen.
    void CheckSavedFiles() {
        if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing (./dev.sh installs it)";
        EXPECT_EQ(RunPython(kMutagenFrames, saved_).out, dumps_);
    }
    Range Locate() { return RangeOf(handle_); }
    std::string Get(int id) { return TagParserGetData(handle_, id); }

    std::vector<std::string> saved_;
    std::string dumps_;  // what python3-mutagen is to find in them
    std::string path_;
    IBaseTag* handle_ = nullptr;
};

TEST_F(MpegTest, TechnicalTextsFollowTheFirstFrameAndTheReportListsThemAll) {
    // The plain header's "NO" and "None" are in the report below; dual channel reads as joint
    // stereo.
    // clang-format off
    const std::tuple<uint32_t, int, const char*> cases[] = {
        {0xFFFB9000, 7, "Stereo"}, {0xFFFB9080, 7, "JointStereo"}, {0xFFFB90C0, 7, "SingleChannel"},
        {0xFFFB9003, 14, "CCIT J.17"}, {0xFFFB9002, 14, "reserved"}, {0xFFFB9008, 11, "YES"},
        {0xFFFB9004, 12, "YES"}, {0xFFF39000, 3, "22050"}, {0xFFF39000, 15, "MPEG 2.0 Layer 3"},
        {0xFFFD9000, 15, "MPEG 1.0 Layer 2"}, {0xFFFB9000, 10, ""}, {0xFFFB9000, 16, ""},
    };
    // clang-format on
    for (const auto& [header, kind, text] : cases) {
        // 128 kbit/s frames: 261 bytes in MPEG-2 Layer III, 522 in MPEG-1 Layer II.
        const int length = header == 0xFFF39000 ? 261 : header == 0xFFFD9000 ? 522 : 417;
        Open(MakeMpegFrames(header, length, 30));
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
    EXPECT_EQ(TagParserGetFileInfo(handle_, 1) + "|" + TagParserGetFileInfo(handle_, 5), "41800|2");

    Bytes vbr = Mp3Frames(40);
    const Bytes xing = {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0, 0, 0x04, 0xD2};  // frame count 1234
    std::copy(xing.begin(), xing.end(), vbr.begin() + 4 + 32);  // after the side information
    Open(vbr);
    EXPECT_EQ(TagParserGetFileInfo(handle_, 6), "NO");  // before any search
    Locate();
    EXPECT_NE(TagParserGetFileInfo(handle_, 0).find(" kbit/s(VBR), 1234 frames\n"),
              std::string::npos);
    TagParserSetData(handle_, FIELD_TITLE2, "saved");  // a save keeps what the search found
    ASSERT_EQ(TagParserApplyFile(handle_), 1);
    EXPECT_EQ(TagParserGetFileInfo(handle_, 6), "YES");
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
        {"ID3v2 with lyrics", Concat({tag1000, Mp3Frames()}), 1000, 950},
        {"both tags", Concat({tag1000, Mp3Frames(), Id3v1("t")}), 1000, 822},
        {"five candidates fail", Concat({broken, Mp3Frames()}), -1, 0},
        {"garbage before frames", Concat({Bytes(300, 0x11), Mp3Frames()}), 300, 0},
    };
    for (const auto& [name, file, start, endMinusSize] : cases) {
        Open(file);
        const int end = static_cast<int>(file.size()) + endMinusSize;
        EXPECT_EQ(Locate(), Range(start, end, end - start)) << name;
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

// A 2.4 text is read and kept as stored; a 2.2/2.3 text, read by the old
// rules, is saved in 2.4 form: its "(n)" references become fields of their own.
TEST_F(MpegTest, GenreIsReadByTheRulesOfItsTagVersionAndASaveKeepsWhatItMeans) {
    const std::tuple<int, std::string, const char*, const char*, const char*> cases[] = {
        // version, stored text, read, then (where saved) as saved and read after the save
        {4, "147", "Synthpop", nullptr, nullptr},
        {4, "148", "", nullptr, nullptr},
        {4, "256", "256", nullptr, nullptr},
        {4, "(17)Rock", "(17)Rock", "(17)Rock", "(17)Rock"},
        {4, std::string("13\0Indie Folk\00080", 16), "Pop; Indie Folk; Folk", "13/Indie Folk/80",
         "Pop; Indie Folk; Folk"},
        {3, "(17)Rock", "Rock", "17", "Rock"},
        {3, "(17)Grunge Pop", "Grunge Pop", "17/Grunge Pop", "Rock; Grunge Pop"},
        {3, "(RX)(31)((Live)", "(Live)", "RX/31/(Live)", "Remix; Trance; (Live)"},
        {3, "(17)(18)", "Rock; Techno", "17/18", "Rock; Techno"},
        {2, "(CR)", "Cover", "CR", "Cover"},
        {3, "((Live)", "(Live)", nullptr, nullptr},
        {3, "(999)", "", "(999)", "(999)"},
        {3, "Grunge", "Grunge", "Grunge", "Grunge"},
    };
    for (const auto& [major, stored, read, saved, readAfter] : cases) {
        const std::string name = std::to_string(major) + " " + stored;
        const bool v22 = major == 2;
        Open(WithAudio(Tag(major, {Text(major, v22 ? "TT2" : "TIT2", "t"),
                                   Text(major, v22 ? "TCO" : "TCON", stored)})));
        EXPECT_EQ(Get(FIELD_GENRE2), read) << name;
        if (!saved) continue;
        SaveNewTitle(name, std::string("TCON=") + saved + "\n");
        EXPECT_EQ(Get(FIELD_GENRE2), readAfter) << name;
    }
    CheckSavedFiles();
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
    // clang-format off
    const std::pair<int, const char*> cases[] = {
        {0, "Title1  "}, {1, "Artist1"}, {2, "Album1"}, {3, "1987"}, {4, "Metal"},
        {5, "Note1"}, {6, "5"}, {7, "New Title"}, {8, "New Artist"}, {9, "New Album"},
        {10, "2001"}, {11, "Grunge Pop"}, {12, "New note"}, {13, "3/12"}, {14, "Composer"},
        {15, "Original"}, {16, "(c) Us"}, {18, "Encoder"}, {17, "http://e.org/"}, {26, "Words"},
        {32, "120"}, {35, "1/2"}, {19, ""}, {38, ""}, {-1, ""},
    };
    // clang-format on
    for (const auto& [id, text] : cases) EXPECT_EQ(Get(id), text) << id;
}

// TagParserSetDataW answers 0 for an id the parser does not take and for a
// value it refuses (a URL of 10000 characters or more).
TEST_F(MpegTest, SettersReachTheirTagAndOnlySomeCreateOne) {
    const std::wstring url(9999, L'u');
    // id, value, then the result, whether an ID3v1 and an ID3v2 tag are present, the field read
    // clang-format off
    const std::tuple<int, std::wstring, int, const char*, std::string> cases[] = {
        {3, L"2009-05", 1, "YN", "2009"}, {3, L"'9x", 1, "YN", "'9x"},
        {4, L"Synthpop", 1, "YN", "Synthpop"}, {4, L"rock", 1, "YN", ""}, {6, L"3/12", 1, "YN", "3"},
        {6, L"255", 1, "YN", "255"}, {6, L"256", 1, "YN", ""}, {10, L"2009-05", 1, "NY", "2009"},
        {10, L"07x", 1, "NY", "07x"}, {11, L"7", 1, "NY", "Hip-Hop"}, {11, L"rock", 1, "NY", "rock"},
        {11, L"", 1, "NN", ""}, {15, L"Orig", 1, "NY", "Orig"}, {17, url, 1, "NY", std::string(9999, 'u')},
        {17, url + L"u", 0, "NN", ""}, {34, L"7", 0, "NN", ""}, {-1, L"7", 0, "NN", ""},
    };
    // clang-format on
    for (const auto& [id, value, result, has, read] : cases) {
        Open(Mp3Frames());
        EXPECT_EQ(TagParserSetDataW(handle_, id, value.c_str()), result) << id;
        EXPECT_EQ(Get(FIELD_HAS_ID3V1) + Get(FIELD_HAS_ID3V2) + "|" + Get(id),
                  std::string(has) + "|" + read)
            << id << " " << value.size();
    }
}

// Narrow text means the characters its bytes spell in the calling thread's
// code page (here EUC-JP): where the tag holds Latin-1 only, each is a "?".
// (That it reads back as the same bytes: exports_test.) A wide value keeps
// its characters.
TEST_F(MpegTest, NarrowValuesAreTheCharactersOfTheCallersCodePage) {
    BuiltLocale eucJp("ja_JP", "EUC-JP");
    if (!eucJp.ok()) GTEST_SKIP() << "localedef cannot build EUC-JP";
    ThreadLocale locale(eucJp.name());
    ASSERT_TRUE(locale.ok());
    const std::string narrow = "\xa5\xab\xa5\xd5\xa5\xa7";
    const std::wstring emoji = L"\u00e9 \U0001F3B5";
    Open(Concat({Mp3Frames(), Id3v1("")}));
    for (int id : {FIELD_TITLE, FIELD_URL}) {  // the ID3v1 tag and the URL
        TagParserSetData(handle_, id, narrow.c_str());
        EXPECT_EQ(TagParserGetDataW(handle_, id), L"???") << id;
    }
    // A picture's name is a path: its bytes go to the file system as they are,
    // even where they spell nothing in the code page.
    const std::string picture =
        dir_.Write("cover\xe9\xff.jpg", Concat({{0xFF, 0xD8, 0xFF}, Bytes(74, 1)}));
    TagParserSetData(handle_, FIELD_PICTURE, picture.c_str());
    EXPECT_EQ(Get(FIELD_PICTURE_INFO), "77");
    // A wide comment is not sent through the code page: the emoji stays.
    TagParserSetDataW(handle_, FIELD_COMMENT2, emoji.c_str());
    ASSERT_EQ(TagParserApplyFile(handle_), 1);
    Reopen();
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_TITLE), L"???");
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_COMMENT2), emoji);
}

// A frame TagLib cannot decode (encrypted) cannot take a value: the new value
// takes its place, and no such frame is written back as plain text.
TEST_F(MpegTest, SavesVersion24WithUtf8TextAndLatin1CommentsAndFillsEmptyFieldsAcross) {
    const uint32_t encrypted = 0x40;
    Open(Concat(
        {Tag(3, {Text(3, "TIT2", "Latin title"), Commented(3, "COMM", "kept", "deu"),
                 Text(3, "TYER", "1980"), Text(3, "TRCK", "1"),
                 Text(3, "TCOM", "sealed", encrypted), Text(3, "TENC", "sealed", encrypted)}),
         Mp3Frames(), MakeId3v1Tag("", "", "V1 Album", "", "", 4, 255)}));
    TagParserSetDataW(handle_, FIELD_COMPOSER, L"Bach");
    const std::wstring artist = L"\u00c6r\u00f8 \u4e2d \U0001F600 \U00020BB7";
    TagParserSetDataW(handle_, FIELD_ARTIST2, artist.c_str());
    TagParserSetDataW(handle_, FIELD_GENRE2, L"Polka");
    TagParserSetDataW(handle_, FIELD_YEAR2, L"abc");  // no number above 0: the frame goes
    TagParserSetDataW(handle_, FIELD_TRACK2, L"0/12");
    TagParserSetDataW(handle_, FIELD_LYRICS, L"Verse one\nVerse two");
    TagParserSetDataW(handle_, FIELD_TITLE, L"One");
    TagParserSetDataW(handle_, FIELD_YEAR, L"1999");
    Save();
    // A known genre is stored by its number.
    EXPECT_TRUE(Contains(ReadBytes(path_), TextBytes(std::string("TCON\0\0\0\3\0\0\00375", 13))));
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_ARTIST2), artist);
    // Each tag's empty basic fields are filled from the other one, the filled ones kept.
    EXPECT_EQ(Get(FIELD_TITLE) + "|" + Get(FIELD_TITLE2) + "|" + Get(FIELD_YEAR2) + "|" +
                  Get(FIELD_TRACK2) + "|" + Get(FIELD_ALBUM2) + "|" + Get(FIELD_COMMENT) + "|" +
                  Get(FIELD_LYRICS) + "|" + Get(FIELD_COMPOSER),
              "One|Latin title|1999|4|V1 Album|kept|Verse one\nVerse two|Bach");
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing (./dev.sh installs it)";
    // The version, then a line per frame: its encoding and mutagen's own summary,
    // e.g. "0 COMM==eng=x" (empty description, language, text).
    const std::string dump =
        RunPython(
            "import sys\nfrom mutagen.id3 import ID3\nsys.stdout.reconfigure(encoding='utf-8')\n"
            "tag = ID3(sys.argv[1], load_v1=False)\nprint(tag.version)\n"
            "for f in tag.values(): print(int(f.encoding), f.pprint())\n",
            {path_})
            .out;
    for (const char* line :
         {"(2, 4, 0)\n", "3 TIT2=Latin title\n", "0 COMM==deu=kept\n", "3 TDRC=1999\n",
          "0 USLT==XXX=Verse one\nVerse two\n", "3 TCOM=Bach\n",
          "3 TPE1=\xc3\x86r\xc3\xb8 \xe4\xb8\xad \xf0\x9f\x98\x80 \xf0\xa0\xae\xb7\n"}) {
        EXPECT_NE(dump.find(line), std::string::npos) << line << "in:\n" << dump;
    }
    EXPECT_EQ(dump.find("sealed"), std::string::npos) << dump;
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
    // By mask from -1: whether the saved file holds the APE item and its value,
    // the old ID3v1 title, an ID3v2 tag and the change.
    const char* const found[] = {"YYYYY", "NNNNN", "YYNNN", "YYNYY", "YYYYY"};
    for (int mask = -1; mask < 4; ++mask) {
        Open(Concat({Tag(4, {Text(4, "TIT2", "two")}), Mp3Frames(), ape, Id3v1("one")}));
        TagParserSetDataW(handle_, FIELD_TITLE2, L"changed");
        const bool strip = mask == 0 || mask == 1;
        if (strip) TagParserSetDataW(handle_, FIELD_TITLE, L"");  // waits for the save
        if (mask >= 0) TagParserSetDataW(handle_, FIELD_HAS_ID3V1, mask & 1 ? L"y" : L"N");
        if (mask > 0 && (mask & 2)) TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
        if (strip) {  // switched off, the ID3v2 tag goes at once; an ID3v1 tag switched on
                      // stays even empty
            TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"N");
            EXPECT_TRUE(ReadBytes(path_) ==
                        Concat({Mp3Frames(), ape, mask ? Id3v1("one") : Bytes()}));
            EXPECT_EQ(Get(FIELD_TITLE2) + Get(FIELD_HAS_ID3V2), "N");
        }
        ASSERT_EQ(TagParserApplyFile(handle_), 1);
        Bytes saved = ReadBytes(path_);
        EXPECT_TRUE(mask != 0 || saved == Mp3Frames()) << "mask 0 removes every tag";
        EXPECT_TRUE(mask != 1 || Bytes(saved.end() - 128, saved.end()) == Id3v1(""));
        // TagLib writes the APE tag back with a header of its own; the item stays.
        std::string has;
        for (const char* text : {"REPLAYGAIN_TRACK_GAIN", "-3 dB", "TAGone", "ID3", "changed"})
            has += Contains(saved, TextBytes(text)) ? 'Y' : 'N';
        EXPECT_EQ(has, found[mask + 1]) << mask;
    }
    for (const wchar_t* no : {L"", L"n", L"yes", L"x"}) {
        TagParserSetDataW(handle_, FIELD_HAS_ID3V1, L"Y");
        TagParserSetDataW(handle_, FIELD_HAS_ID3V1, no);
        EXPECT_EQ(Get(FIELD_HAS_ID3V1), "N") << no;
    }
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
    path_ = dir_.Write("zeros.mp3", Bytes());
    ASSERT_EQ(truncate(path_.c_str(), 4LL << 30), 0);
    const long long before = BytesReadSoFar();
    Reopen();
    EXPECT_EQ(std::get<2>(Locate()), 0);
    TagParserSetDataW(handle_, FIELD_TITLE2, L"changed");
    EXPECT_EQ(TagParserApplyFile(handle_), 0);
    TagParserCloseFile(handle_);
    handle_ = nullptr;
    EXPECT_LT(BytesReadSoFar() - before, 8 << 20);
}

// Date and time join the recording time where TagLib can merge them; what it
// cannot merge, and any other text frame it would leave out, stays as a user
// text frame named after it. The size (TSIZ) goes: a save makes it untrue.
// The 2.2 TOA is the original artist, TOT the original album, TXT the
// lyricist, also in a 2.3 tag carrying 2.2 frames (a NUL as fourth letter).
TEST_F(MpegTest, SavingAsVersion24KeepsTextFramesVersion24HasNoPlaceFor) {
    auto v22 = [](const char* id, const char* text) { return Text(2, id, text); };
    const std::string toa("TOA\0", 4), tot("TOT\0", 4), txt("TXT\0", 4);
    // clang-format off
    const std::tuple<const char*, Bytes, const wchar_t*, const char*, const char*> cases[] = {
        // name, tag, original artist set (or none), year, saved frames
        {"2.3 date, time, recording dates, size",
         MakeId3v23Tag({{"TIT2", "t"}, {"TYER", "1999"}, {"TDAT", "1505"}, {"TIME", "1230"},
                        {"TRDA", "May 15-16, 1999"}, {"TSIZ", "4170"}}),
         nullptr, "1999", "TDRC=1999-05-15 12:30\nTXXX:TRDA=May 15-16, 1999\n"},
        {"2.3 date and time without a year",
         MakeId3v23Tag({{"TIT2", "t"}, {"TDAT", "1505"}, {"TIME", "1230"}}),
         nullptr, "", "TXXX:TDAT=1505\nTXXX:TIME=1230\n"},
        {"2.3 recording dates beside a user frame of their name",
         MakeId3v23Tag({{"TIT2", "t"}, {"TRDA", "May 15"},
                        {"TXXX", std::string("TRDA\0May 16", 11)}}),
         nullptr, "", "TXXX:TRDA=May 16/May 15\n"},
        {"2.2 frame with no four-letter name", Tag(2, {v22("TT2", "t"), v22("TZZ", "Own words")}),
         nullptr, "", "TXXX:TZZ=Own words\n"},
        {"2.3 text frame flagged to go if unknown",
         Tag(3, {Text(3, "TIT2", "t"), Text(3, "TCOM", "Bach", 0x8000)}),
         nullptr, "", "TCOM=Bach\n"},
        {"2.2 original artist, album and lyricist; a new original artist",
         Tag(2, {v22("TT2", "t"), v22("TOA", "Singer"), v22("TOT", "LP"), v22("TXT", "Poet")}),
         L"Second", "", "TOPE=Second\nTOAL=LP\nTEXT=Poet\n"},
        {"2.3 tag with 2.2 ids",
         MakeId3v23Tag({{"TIT2", "t"}, {toa, "Singer"}, {tot, "LP"}, {txt, "Poet"}}),
         nullptr, "", "TOPE=Singer\nTOAL=LP\nTEXT=Poet\n"},
    };
    // clang-format on
    for (const auto& [name, tag, artist, year, frames] : cases) {
        Open(WithAudio(tag));
        if (artist) TagParserSetDataW(handle_, FIELD_ORIGINAL_ARTIST, artist);
        SaveNewTitle(name, frames);
        EXPECT_EQ(Get(FIELD_TITLE2) + "|" + Get(FIELD_YEAR2), std::string("saved|") + year) << name;
    }
    CheckSavedFiles();
}

// Volume adjustment and equalisation have no place in 2.4 either, and no
// text to keep: they stay as their bytes, the 2.2 ones under their 2.3 names.
TEST_F(MpegTest, SavingAsVersion24KeepsVolumeAndEqualisationBytes) {
    const Bytes volume = {0x03, 16, 0x01, 0x00, 0x02, 0x00, 0x7F, 0xFF, 0x7F, 0xFE};
    const Bytes equalisation = {16, 0x80, 0x64, 0x01, 0x00};
    for (int major : {2, 3}) {
        const bool v22 = major == 2;
        Open(WithAudio(Tag(major, {Text(major, v22 ? "TT2" : "TIT2", "t"),
                                   Frame(major, v22 ? "RVA" : "RVAD", volume),
                                   Frame(major, v22 ? "EQU" : "EQUA", equalisation)})));
        TagParserSetData(handle_, FIELD_TITLE2, "saved");
        Save();
        EXPECT_TRUE(Contains(ReadBytes(path_), Frame(4, "RVAD", volume))) << major;
        EXPECT_TRUE(Contains(ReadBytes(path_), Frame(4, "EQUA", equalisation))) << major;
        EXPECT_EQ(Get(FIELD_TITLE2), "saved");
    }
}

// How a handle uses its file: between calls it holds no descriptor; the
// large blocks it reads give the same answers wherever a tag, a frame or a
// picture meets a block's edge; after a save it reads the file it wrote; and
// once the path names another file, or the file changed, it reads nothing
// more from it and writes nothing, until the path names the file as it was
// again.

// An ID3v2.3 tag of exactly `size` bytes (40 or more): a filler frame, then
// the title, which so lies at the tag's end.
Bytes TagOfSize(size_t size, const std::string& title) {
    return Tag(
        3, {Text(3, "TCOP", std::string(size - 32 - title.size(), 'c')), Text(3, "TIT2", title)});
}

Bytes PictureTag(const Bytes& data, const std::string& title) {
    return Tag(3, {Picture("image/jpeg", "", data), Text(3, "TIT2", title)});
}

// `tag`, `frames` frames of 128 kbit/s, an ID3v1 tag titled "one".
Bytes Song(const Bytes& tag, int frames) { return Concat({tag, Mp3Frames(frames), Id3v1("one")}); }

// Descriptors this process holds (the count's own included, every time).
int OpenDescriptors() {
    int count = 0;
    DIR* folder = opendir("/proc/self/fd");
    while (dirent* entry = readdir(folder)) count += entry->d_name[0] != '.';
    closedir(folder);
    return count;
}

// The range of a file of `tagSize` bytes of ID3v2 tag, then frames, then an
// ID3v1 tag, `size` bytes in all: the audio starts right after the tag.
Range Expected(size_t tagSize, size_t size) {
    const int tag = static_cast<int>(tagSize), all = static_cast<int>(size);
    return {tag, all + tag - 128, all - 128};
}

// Each handle also answers for its own file, however many others were opened since.
TEST_F(MpegTest, HandlesHoldNoDescriptorBetweenCalls) {
    const std::string titles[] = {"small", "middle", "picture"};
    const int frames[] = {24, 200, 2000};
    const Bytes songs[] = {Song(TagOfSize(300, titles[0]), frames[0]),
                           Song(TagOfSize(20000, titles[1]), frames[1]),
                           Song(PictureTag(PatternBytes(300000), titles[2]), frames[2])};
    std::string paths[3];
    for (int i = 0; i < 3; ++i) paths[i] = dir_.Write(titles[i] + ".mp3", songs[i]);
    const int before = OpenDescriptors();
    std::vector<IBaseTag*> handles;
    for (int i = 0; i < 300; ++i) handles.push_back(TagParserOpenFile(paths[i % 3].c_str()));
    EXPECT_EQ(OpenDescriptors(), before) << "after the opens";
    for (int i = 0; i < 300; ++i) {
        const size_t size = songs[i % 3].size(), audio = frames[i % 3] * kMp3FrameLength128k;
        int start = 0, end = 1000;
        EXPECT_EQ(RangeOf(handles[i]), Expected(size - audio - 128, size)) << i;
        EXPECT_EQ(TagParserGetData(handles[i], FIELD_TITLE2), titles[i % 3]) << i;
        TagParserGetFileInfo(handles[i], 0);
        TagParserGetMD5(handles[i], &start, &end);
    }
    EXPECT_EQ(OpenDescriptors(), before) << "after reading calls";
    for (IBaseTag* handle : handles) TagParserCloseFile(handle);
}

TEST_F(MpegTest, AnswersAreTheSameWhereverDataMeetsABlockEdge) {
    // Tag sizes around 16 KiB and 64 KiB, and whole files just under, at and
    // over 64 KiB (150 frames and an ID3v1 tag leave the rest to the tag).
    const int kFrames = 150;
    const int kAroundWhole = 65536 - kFrames * kMp3FrameLength128k - 128;
    // clang-format off
    const int tagSizes[] = {40, 300, 16384 - 11, 16384 - 1, 16384, 16384 + 1, 16384 + 417,
                            32768 - 4, 65536 - 417, 65536 + 2, 70000,
                            kAroundWhole - 1, kAroundWhole, kAroundWhole + 1};
    // clang-format on
    for (int tagSize : tagSizes) {
        for (int frames : {kFrames, 3000}) {
            SCOPED_TRACE(std::to_string(tagSize) + " + " + std::to_string(frames) + " frames");
            const Bytes file = Song(TagOfSize(static_cast<size_t>(tagSize), "two"), frames);
            Open(file, "edge.mp3");
            EXPECT_EQ(Get(FIELD_TITLE2), "two");
            EXPECT_EQ(Get(FIELD_TITLE), "one");
            EXPECT_EQ(TagParserGetFileInfo(handle_, 2) + " " + TagParserGetFileInfo(handle_, 3) +
                          " " + TagParserGetFileInfo(handle_, 10),
                      "128 44100 " + std::to_string(tagSize));
            EXPECT_EQ(Locate(), Expected(tagSize, file.size()));
        }
    }
    // Pictures read past a block's edge, and straight into place.
    for (size_t pictureSize : std::vector<size_t>{16000, 16384, 16384 * 3 + 5, 300000}) {
        SCOPED_TRACE(pictureSize);
        const Bytes picture = PatternBytes(pictureSize, 5), tag = PictureTag(picture, "three");
        const Bytes file = Song(tag, 100);
        Open(file, "picture.mp3");
        EXPECT_EQ(Get(FIELD_TITLE2), "three");
        ASSERT_EQ(Get(FIELD_PICTURE_INFO), std::to_string(pictureSize));
        Bytes copied(pictureSize);
        EXPECT_EQ(TagParserGetAttachedPictureData(handle_, copied.data()),
                  static_cast<int>(pictureSize));
        EXPECT_TRUE(copied == picture);
        EXPECT_EQ(Locate(), Expected(tag.size(), file.size()));
    }
}

TEST_F(MpegTest, AfterASaveTheHandleReadsTheFileItWrote) {
    const int before = OpenDescriptors();
    Open(Song(TagOfSize(16384 + 100, "old"), 300), "song.mp3");
    Locate();
    // A bigger tag moves the audio: the same handle finds it where it now is.
    TagParserSetData(handle_, FIELD_TITLE2, "new");
    TagParserSetData(handle_, FIELD_COMPOSER, std::string(40000, 'w').c_str());
    ASSERT_EQ(TagParserApplyFile(handle_), 1);
    EXPECT_EQ(OpenDescriptors(), before) << "after the save";
    const int tagSize = std::stoi(TagParserGetFileInfo(handle_, 10));
    EXPECT_GT(tagSize, 40000);
    EXPECT_EQ(Locate(), Expected(tagSize, ReadBytes(path_).size()));
    EXPECT_EQ(Get(FIELD_TITLE2), "new");
    // Removing the tag at once: the audio now starts the file.
    TagParserSetData(handle_, FIELD_HAS_ID3V2, "N");
    EXPECT_EQ(OpenDescriptors(), before) << "after the removal";
    EXPECT_EQ(Get(FIELD_TITLE2), "");
    EXPECT_EQ(Locate(), Expected(0, ReadBytes(path_).size()));
    EXPECT_EQ(Get(FIELD_TITLE), "one");
}

// Sets the modification time of `path` to `seconds` past the epoch.
void SetModified(const std::string& path, time_t seconds) {
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The path names another file: a copy with the original's time. The handle
// reads nothing more and writes nothing. (A writer that puts the time back,
// and other writers to files of every format: save_identity_test.)
TEST_F(MpegTest, ChangedOrReplacedFileIsNeitherReadNorSaved) {
    const Bytes original = Song(TagOfSize(3000, "mine"), 400);
    const int size = static_cast<int>(original.size());
    path_ = dir_.Write("song.mp3", original);
    const std::string copy = dir_.Write("copy.mp3", original);
    SetModified(path_, 1500000000);
    SetModified(copy, 1500000000);
    Reopen();
    ASSERT_EQ(Locate(), Expected(3000, original.size()));
    ASSERT_EQ(rename(copy.c_str(), path_.c_str()), 0);
    // A search that reads nothing finds no audio.
    EXPECT_EQ(Locate(), Range(0, size - 129, size - 129));
    EXPECT_EQ(Get(FIELD_TITLE2), "mine");
    TagParserSetData(handle_, FIELD_TITLE2, "theirs");
    EXPECT_EQ(TagParserApplyFile(handle_), 0);
    EXPECT_TRUE(ReadBytes(path_) == original);
}

}  // namespace
