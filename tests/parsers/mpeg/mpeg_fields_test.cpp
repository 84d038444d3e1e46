// MP3 fields through the exports: which tag each id reads, which setters
// create a tag, the presence switches, and how narrow and wide values become
// tag text.
#include <gtest/gtest.h>

#include "tests/support/mpeg_fixtures.h"
#include "tests/support/process.h"

namespace {

using MpegFieldsTest = Mp3ExportTest;

Bytes BothTagsFile() {
    Bytes id3v2 = Id3v2Tag(3, {TextFrame(3, "TIT2", "New Title"), TextFrame(3, "TPE1", "New Artist"),
                               TextFrame(3, "TALB", "New Album"), TextFrame(3, "TYER", "2001"),
                               TextFrame(3, "TCON", "(17)Grunge Pop"), CommentLikeFrame(3, "COMM", "New note"),
                               TextFrame(3, "TRCK", "3/12"), TextFrame(3, "TCOM", "Composer"),
                               TextFrame(3, "TOPE", "Original"), TextFrame(3, "TCOP", "(c) Us"),
                               UrlFrame(3, "", "http://example.org/"), TextFrame(3, "TENC", "Encoder"),
                               TextFrame(3, "TBPM", "120"), TextFrame(3, "TPOS", "1/2"),
                               CommentLikeFrame(3, "USLT", "Words")});
    Bytes id3v1 = MakeId3v1Tag("Old Title  ", "Old Artist", "Old Album", "1987", "old note", 5, 9);
    return Concat({id3v2, Mp3Frames(), id3v1});
}

TEST_F(MpegFieldsTest, EachIdReadsItsOwnTag) {
    Open(BothTagsFile());
    struct Case {
        int id;
        const char* text;
    } cases[] = {
        {0, "Old Title  "}, {1, "Old Artist"}, {2, "Old Album"}, {3, "1987"},
        {4, "Metal"},       {5, "old note"},   {6, "5"},          {7, "New Title"},
        {8, "New Artist"},  {9, "New Album"},  {10, "2001"},      {11, "Grunge Pop"},
        {12, "New note"},   {13, "3/12"},      {14, "Composer"},  {15, "Original"},
        {16, "(c) Us"},     {17, "http://example.org/"},          {18, "Encoder"},
        {26, "Words"},      {32, "120"},       {33, ""},          {34, ""},
        {35, "1/2"},        {36, "Y"},         {37, "Y"},         {19, ""},
        {27, ""},           {31, ""},          {38, ""},          {-1, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(TagParserGetData(handle_, c.id), c.text) << c.id;
}

TEST_F(MpegFieldsTest, OnlySomeSettersCreateATag) {
    struct Case {
        int id;
        const wchar_t* hasId3v1;
        const wchar_t* hasId3v2;
    } cases[] = {
        {0, L"Y", L"N"},  {6, L"Y", L"N"},  {7, L"N", L"Y"},  {13, L"N", L"Y"}, {14, L"N", L"Y"},
        {15, L"N", L"N"}, {16, L"N", L"N"}, {17, L"N", L"N"}, {18, L"N", L"N"}, {26, L"N", L"Y"},
        {32, L"N", L"Y"}, {35, L"N", L"Y"}, {34, L"N", L"N"}, {99, L"N", L"N"}, {31, L"N", L"N"},
    };
    for (const auto& c : cases) {
        Open(Mp3Frames());
        EXPECT_EQ(TagParserSetDataW(handle_, c.id, L"7"), 1) << c.id;
        EXPECT_EQ(TagParserGetDataW(handle_, FIELD_HAS_ID3V1), c.hasId3v1) << c.id;
        EXPECT_EQ(TagParserGetDataW(handle_, FIELD_HAS_ID3V2), c.hasId3v2) << c.id;
        Close();
    }
}

TEST_F(MpegFieldsTest, BasicFieldsGoToTheFirstTagAndSecondFieldsToTheOther) {
    Open(Concat({Id3v2Tag(4, {TextFrame(4, "TIT2", "Second")}), Mp3Frames()}));
    EXPECT_EQ(TagParserGetData(handle_, FIELD_TITLE), "");
    TagParserSetDataW(handle_, FIELD_TITLE, L"First");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_TITLE), "First");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_TITLE2), "Second");
    TagParserSetDataW(handle_, FIELD_GENRE, L"Polka");
    TagParserSetDataW(handle_, FIELD_GENRE2, L"Blues");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_GENRE), "Polka");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_GENRE2), "Blues");
    TagParserSetDataW(handle_, FIELD_PICTURE_INFO, L"123");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_PICTURE_INFO), "");
}

TEST_F(MpegFieldsTest, PresenceSwitchesSetTheMaskOrStripAtOnce) {
    Open(Concat({Id3v2Tag(4, {TextFrame(4, "TIT2", "Gone")}), Mp3Frames()}));
    EXPECT_EQ(TagParserGetData(handle_, FIELD_HAS_ID3V1), "N");
    TagParserSetDataW(handle_, FIELD_HAS_ID3V1, L"y");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_HAS_ID3V1), "Y");

    TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"N");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_TITLE2), "");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_HAS_ID3V2), "N");
    Bytes onDisk = ReadBytes(path_);
    EXPECT_EQ(onDisk, Mp3Frames()) << "the ID3v2 tag is removed before any apply";

    // The mask now holds ID3v1 only: the save writes an (empty) ID3v1 tag.
    EXPECT_EQ(TagParserApplyFile(handle_), 1);
    Bytes saved = ReadBytes(path_);
    ASSERT_EQ(saved.size(), Mp3Frames().size() + 128);
    EXPECT_EQ(std::string(saved.end() - 128, saved.end() - 125), "TAG");
    Reopen();
    EXPECT_EQ(TagParserGetData(handle_, FIELD_HAS_ID3V1), "Y");
    for (const wchar_t* no : {L"", L"n", L"yes", L"x"}) {
        TagParserSetDataW(handle_, FIELD_HAS_ID3V1, no);
        EXPECT_EQ(TagParserGetData(handle_, FIELD_HAS_ID3V1), "N") << no;
    }
}

TEST_F(MpegFieldsTest, NarrowValuesAreStoredByteForByte) {
    Open(Mp3Frames());
    // TagParserSetData reports 0 but takes the value; its bytes become
    // Latin-1 characters one by one.
    EXPECT_EQ(TagParserSetData(handle_, FIELD_TITLE2, "\xc3\xa9t\xc3\xa9"), 0);
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_TITLE2), L"\u00c3\u00a9t\u00c3\u00a9");
    // A wide value keeps its characters, except for the second comment and
    // the URL, which always go through the narrow form.
    EXPECT_EQ(TagParserSetDataW(handle_, FIELD_ARTIST2, L"\u00e9t\u00e9"), 1);
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_ARTIST2), L"\u00e9t\u00e9");
    TagParserSetDataW(handle_, FIELD_COMMENT2, L"\u00e9");
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_COMMENT2), L"\u00c3\u00a9");
    TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
    TagParserSetDataW(handle_, FIELD_URL, L"http://x.org/\u00e9");
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_URL), L"http://x.org/\u00c3\u00a9");
}

TEST_F(MpegFieldsTest, CharactersOutsideTheBasicPlaneSurviveASave) {
    Open(Mp3Frames());
    const std::wstring title = L"Snow \u2603 and \U0001F600 \U00020BB7";
    TagParserSetDataW(handle_, FIELD_TITLE2, title.c_str());
    TagParserSetDataW(handle_, FIELD_COMPOSER, title.c_str());
    TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
    ASSERT_EQ(TagParserApplyFile(handle_), 1);
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_TITLE2), title);
    Reopen();
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_TITLE2), title);
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_COMPOSER), title);
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing: install it to check with an independent reader";
    std::string dump = MutagenId3Dump(path_);
    EXPECT_NE(dump.find("TIT2 enc=3 text=Snow \xe2\x98\x83 and \xf0\x9f\x98\x80 \xf0\xa0\xae\xb7\n"), std::string::npos)
        << dump;
}

}  // namespace
