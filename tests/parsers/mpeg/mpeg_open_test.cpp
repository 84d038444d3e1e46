// The MPEG parser through the exports: which files open, the technical texts
// and information report, the audio range and digest, and the description
// kinds.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/mpeg_fixtures.h"
#include "tests/support/process.h"

namespace {

using MpegOpenTest = Mp3ExportTest;

// Frames whose header is `header` with every other byte as in kMp3Header128k.
Bytes FramesWith(uint32_t header, int frameLength, int count = 30) {
    return MakeMpegFrames(header, frameLength, count);
}

TEST_F(MpegOpenTest, OpensMpegFilesAndRefusesWhatIsNot) {
    Open(Mp3Frames(), "song.mp3");
    EXPECT_EQ(TagParserGetFileType(handle_), FILE_TYPE_MP3);

    std::string fifo = dir_.File("pipe.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(TagParserOpenFile(fifo.c_str()), nullptr);
    std::string folder = dir_.File("folder.mp3");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(TagParserOpenFile(folder.c_str()), nullptr);
    EXPECT_EQ(TagParserOpenFile(dir_.File("missing.mp3").c_str()), nullptr);
}

TEST_F(MpegOpenTest, FrameHeaderKindsFollowTheFirstFrame) {
    struct Case {
        uint32_t header;
        int frameLength;
        int kind;
        const char* text;
    } cases[] = {
        {0xFFFB9000, 417, 7, "Stereo"},        {0xFFFB9040, 417, 7, "JointStereo"},
        {0xFFFB9080, 417, 7, "JointStereo"},   {0xFFFB90C0, 417, 7, "SingleChannel"},
        {0xFFFB9003, 417, 14, "CCIT J.17"},    {0xFFFB9001, 417, 14, "50/15 ms"},
        {0xFFFB9002, 417, 14, "reserved"},     {0xFFFB9000, 417, 14, "None"},
        {0xFFFA9000, 417, 13, "YES"},          {0xFFFB9000, 417, 13, "NO"},
        {0xFFFB9008, 417, 11, "YES"},          {0xFFFB9000, 417, 11, "NO"},
        {0xFFFB9004, 417, 12, "YES"},          {0xFFFB9000, 417, 12, "NO"},
        {0xFFFB9000, 417, 15, "MPEG 1.0 Layer 3"}, {0xFFF39000, 261, 15, "MPEG 2.0 Layer 3"},
        {0xFFFD9000, 522, 15, "MPEG 1.0 Layer 2"}, {0xFFFB9000, 417, 2, "128"},
        {0xFFFB9000, 417, 3, "44100"},         {0xFFF39000, 261, 3, "22050"},
        {0xFFFB9000, 417, 6, "NO"},            {0xFFFB9000, 417, 4, ""},
        {0xFFFB9000, 417, 8, ""},              {0xFFFB9000, 417, 9, ""},
        {0xFFFB9000, 417, 10, ""},             {0xFFFB9000, 417, 16, ""},
    };
    for (const auto& c : cases) {
        Open(FramesWith(c.header, c.frameLength), "frames.mp3");
        int start = 0, end = 0;
        TagParserGetSourceLength(handle_, &start, &end);
        EXPECT_EQ(TagParserGetFileInfo(handle_, c.kind), c.text) << std::hex << c.header << " kind " << c.kind;
    }
}

TEST_F(MpegOpenTest, XingHeaderCountsFramesInTheReport) {
    Open(XingFrames(kMp3Header128k, 417, 40, 1234), "vbr.mp3");
    EXPECT_EQ(TagParserGetFileInfo(handle_, 6), "NO");  // before any search
    int start = 0, end = 0;
    TagParserGetSourceLength(handle_, &start, &end);
    EXPECT_EQ(TagParserGetFileInfo(handle_, 6), "YES");
    EXPECT_NE(TagParserGetFileInfo(handle_, 0).find(" kbit/s(VBR), 1234 frames\n"), std::string::npos);
}

TEST_F(MpegOpenTest, InformationReportListsEveryLineInOrder) {
    Bytes tag = Id3v2Tag(4, {TextFrame(4, "TIT2", "x")}, 78);  // 100 bytes in all
    Bytes file = Concat({tag, Mp3Frames(100)});
    Open(file, "report.mp3");
    int start = 0, end = 0;
    TagParserGetSourceLength(handle_, &start, &end);
    EXPECT_EQ(TagParserGetFileInfo(handle_, 0),
              "File size: 41800 bytes\n"
              "ID3v2 tag size: 100 bytes\n"
              "Length: 0:02\n"
              "CRC: NO\n"
              "Copyrighted: NO\n"
              "Original: NO\n"
              "Emphasis: None\n"
              "MPEG 1.0, Layer 3\n"
              "Bit rate: 128 kbit/s, 100 frames\n"
              "Channel mode: Stereo\n");
    EXPECT_EQ(TagParserGetFileInfo(handle_, 1), "41800");
    EXPECT_EQ(TagParserGetFileInfo(handle_, 5), "2");
    EXPECT_EQ(TagParserGetFileInfo(handle_, 10), "100");
}

TEST_F(MpegOpenTest, AudioRangeStartsAfterTheTagAndEndsByTheFormula) {
    // 50 characters of lyrics in a 1000-byte ID3v2 tag.
    Bytes lyricsFrame = CommentLikeFrame(4, "USLT", std::string(50, 'l'));
    Bytes tag1000 = Id3v2Tag(4, {lyricsFrame}, 1000 - 10 - lyricsFrame.size());
    Bytes broken;  // five frame candidates, none followed by another frame
    for (int i = 0; i < 5; ++i) broken = Concat({broken, MakeMpegFrames(kMp3Header128k, 420, 1)});
    struct Case {
        const char* name;
        Bytes file;
        int start;
        int endMinusLength;
    } cases[] = {
        {"no tags", Mp3Frames(), 0, 0},
        {"ID3v1 only", Concat({Mp3Frames(), MakeId3v1Tag("t", "", "", "", "", 0, 0)}), 0, -128},
        {"ID3v2 with lyrics", Concat({tag1000, Mp3Frames()}), 1000, 950},
        {"both tags", Concat({tag1000, Mp3Frames(), MakeId3v1Tag("t", "", "", "", "", 0, 0)}), 1000, 822},
        {"five candidates fail", Concat({broken, Mp3Frames()}), -1, 0},
        {"garbage before frames", Concat({Bytes(300, 0x11), Mp3Frames()}), 300, 0},
    };
    for (const auto& c : cases) {
        Open(c.file, "range.mp3");
        int start = 7, end = 7;
        int result = TagParserGetSourceLength(handle_, &start, &end);
        int length = static_cast<int>(c.file.size());
        EXPECT_EQ(start, c.start) << c.name;
        EXPECT_EQ(end, length + c.endMinusLength) << c.name;
        EXPECT_EQ(result, end - start) << c.name;
    }
}

TEST_F(MpegOpenTest, DigestCoversTheRequestedBytesOfTheFile) {
    Bytes file = Concat({Id3v2Tag(3, {TextFrame(3, "TIT2", "d")}), Mp3Frames()});
    Open(file);
    int start = 21, count = 1000;
    EXPECT_EQ(TagParserGetMD5(handle_, &start, &count), Md5sum(file, 21, 1000));
}

TEST_F(MpegOpenTest, ChangedLyricsMoveTheEndOfTheRange) {
    Open(Concat({Id3v2Tag(4, {TextFrame(4, "TIT2", "x")}), Mp3Frames()}), "lyrics.mp3");
    int start = 0, before = 0, after = 0;
    TagParserGetSourceLength(handle_, &start, &before);
    TagParserSetDataW(handle_, FIELD_LYRICS, L"twelve chars");
    TagParserGetSourceLength(handle_, &start, &after);
    EXPECT_EQ(after, before - 12);
}

class MpegDescriptionTest : public Mp3ExportTest {
protected:
    void SetUp() override {
        Bytes id3v2 = Id3v2Tag(4, {TextFrame(4, "TIT2", "Song Two"), TextFrame(4, "TALB", "LP"),
                                   TextFrame(4, "TDRC", "2001")});
        Open(Concat({id3v2, Mp3Frames(), MakeId3v1Tag("Song One ", "Band", "", "1999", "", 4, 17)}), "Live Set.mp3");
    }
};

// The joining rules are shared with the other parsers (see the Windows Media
// description tests); these cases check the choice between the two tags.
TEST_F(MpegDescriptionTest, KindsJoinFieldsOfThePreferredTagWithFallbacks) {
    struct Case {
        int kind;
        int preferSecond;
        const char* text;
    } cases[] = {
        {0, 0, "Song One - Band"}, {0, 1, "Song Two - Band"}, {2, 1, "Song Two - LP - Band"},
        {3, 0, "Live Set - 4"},    {9, 1, "4 - Live Set"},    {10, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TagParserGetDescription(handle_, c.kind, "", c.preferSecond), c.text)
            << c.kind << "/" << c.preferSecond;
    }
    EXPECT_EQ(TagParserGetDescriptionW(handle_, 0, "", 0), L"Song One - Band");
}

TEST_F(MpegDescriptionTest, TemplateFillsPlaceholdersOrFallsBackToTheFileTitle) {
    struct Case {
        const char* pattern;
        int preferSecond;
        std::string text;
    } cases[] = {
        {"%artist% - %title% (%year%) 100%%", 0, "Band - Song One (1999) 100%"},
        {"%title% [%album%] %year%", 1, "Song Two [LP] 2001"},
        {"%filename%|%track%|%genre%", 0, "Live Set|4|Rock"},
        {"%comment%", 0, "Live Set"},
        {"plain", 0, "Live Set"},
        {"%%", 0, "%"},
        {"%title%/%title% %%%%", 0, "Song One/Song One %%"},  // every occurrence
        {"%folder%", 0, ""},
    };
    cases[7].text = dir_.path();
    for (const auto& c : cases) {
        EXPECT_EQ(TagParserGetDescription(handle_, 5, c.pattern, c.preferSecond), c.text) << c.pattern;
    }
}

}  // namespace
