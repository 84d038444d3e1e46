// Saving MP3 tags through the exports: what is written (checked by reopening
// and by an independent reader), the order of the tag mask, and a read-only
// file left untouched.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "tests/support/mpeg_fixtures.h"
#include "tests/support/process.h"

namespace {

class MpegSaveTest : public Mp3ExportTest {
protected:
    static bool Contains(const Bytes& data, const std::string& text) {
        return std::search(data.begin(), data.end(), text.begin(), text.end()) != data.end();
    }
};

Bytes Id3v1(const std::string& title) { return MakeId3v1Tag(title, "", "", "", "", 0, 255); }

TEST_F(MpegSaveTest, WritesVersion24WithUtf8TextAndLatin1CommentsAndLyrics) {
    Open(Concat({Id3v2Tag(3, {TextFrame(3, "TIT2", "Latin title"), CommentLikeFrame(3, "COMM", "kept", "deu")}),
                 Mp3Frames()}));
    TagParserSetDataW(handle_, FIELD_ARTIST2, L"\u00c6r\u00f8 \u4e2d");
    TagParserSetDataW(handle_, FIELD_LYRICS, L"First line");
    TagParserSetDataW(handle_, FIELD_TITLE, L"One");
    TagParserSetDataW(handle_, FIELD_YEAR, L"1999");
    TagParserSetDataW(handle_, FIELD_HAS_ID3V1, L"Y");
    TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
    ASSERT_EQ(TagParserApplyFile(handle_), 1);

    Bytes saved = ReadBytes(path_);
    ASSERT_GE(saved.size(), 128u);
    Bytes id3v1(saved.end() - 128, saved.end());
    EXPECT_EQ(Bytes(id3v1.begin(), id3v1.begin() + 6), TextBytes("TAGOne"));
    EXPECT_EQ(Bytes(id3v1.begin() + 93, id3v1.begin() + 97), TextBytes("1999"));
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 5), (Bytes{'I', 'D', '3', 4, 0}));
    Reopen();
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_ARTIST2), L"\u00c6r\u00f8 \u4e2d");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_TITLE), "One");

    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing: install it to check with an independent reader";
    std::string dump = MutagenId3Dump(path_);
    for (const char* line : {"version 2.4.0\n", "TIT2 enc=3 text=Latin title\n",
                             "TPE1 enc=3 text=\xc3\x86r\xc3\xb8 \xe4\xb8\xad\n", "COMM enc=0 lang='deu' text=kept\n",
                             "USLT enc=0 lang='   ' text=First line\n"}) {
        EXPECT_NE(dump.find(line), std::string::npos) << line << "in:\n" << dump;
    }
}

TEST_F(MpegSaveTest, EmptyBasicFieldsAreCopiedBetweenTheTags) {
    Bytes id3v1 = MakeId3v1Tag("V1 Title", "", "V1 Album", "", "", 4, 255);
    Open(Concat({Id3v2Tag(4, {TextFrame(4, "TPE1", "V2 Artist"), TextFrame(4, "TALB", "V2 Album")}), Mp3Frames(),
                 id3v1}));
    TagParserSetDataW(handle_, FIELD_HAS_ID3V1, L"Y");
    TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
    ASSERT_EQ(TagParserApplyFile(handle_), 1);
    Reopen();
    struct Case {
        int id;
        const char* text;
    } cases[] = {{0, "V1 Title"}, {7, "V1 Title"}, {1, "V2 Artist"}, {8, "V2 Artist"},
                 {2, "V1 Album"}, {9, "V2 Album"}, {6, "4"},         {13, "4"}};
    for (const auto& c : cases) EXPECT_EQ(TagParserGetData(handle_, c.id), c.text) << c.id;
}

TEST_F(MpegSaveTest, MaskDecidesWhichTagsStayAndApeNeverDoes) {
    struct Case {
        const wchar_t* id3v1;
        const wchar_t* id3v2;
        bool keepsId3v1;
        bool keepsId3v2;
    } cases[] = {{L"Y", L"Y", true, true},
                 {L"Y", nullptr, true, false},
                 {nullptr, L"Y", false, true},
                 {nullptr, nullptr, false, false}};
    for (const auto& c : cases) {
        Open(Concat({Id3v2Tag(4, {TextFrame(4, "TIT2", "two")}), Mp3Frames(), ApeTag({{"Title", "ape"}}),
                     Id3v1("one")}));
        TagParserSetDataW(handle_, FIELD_TITLE2, L"changed");
        if (c.id3v1) TagParserSetDataW(handle_, FIELD_HAS_ID3V1, c.id3v1);
        if (c.id3v2) TagParserSetDataW(handle_, FIELD_HAS_ID3V2, c.id3v2);
        ASSERT_EQ(TagParserApplyFile(handle_), 1);
        Bytes saved = ReadBytes(path_);
        if (!c.id3v1 && !c.id3v2) {
            EXPECT_EQ(saved, Mp3Frames()) << "mask 0 removes every tag";
        }
        EXPECT_FALSE(Contains(saved, "APETAGEX"));
        EXPECT_EQ(Contains(saved, "TAGone"), c.keepsId3v1);
        EXPECT_EQ(Contains(saved, "ID3"), c.keepsId3v2);
        Close();
        // The mask is the parser's own: a new handle starts from 0 again.
    }
}

TEST_F(MpegSaveTest, ReadOnlyFileIsLeftByteForByte) {
    Bytes original = Concat({Id3v2Tag(4, {TextFrame(4, "TIT2", "keep")}), Mp3Frames(), Id3v1("keep")});
    path_ = dir_.Write("readonly.mp3", original);
    ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    std::string path = path_;
    int status = RunInChild(
        [path] {
            IBaseTag* handle = TagParserOpenFile(path.c_str());
            if (!handle) return 10;
            TagParserSetDataW(handle, FIELD_TITLE2, L"changed");
            TagParserSetDataW(handle, FIELD_HAS_ID3V1, L"Y");
            TagParserSetDataW(handle, FIELD_HAS_ID3V2, L"Y");
            int result = TagParserApplyFile(handle);
            TagParserCloseFile(handle);
            return result;
        },
        true);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadBytes(path_), original);
}

}  // namespace
