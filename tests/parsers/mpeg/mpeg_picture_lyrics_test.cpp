// Lyrics (USLT) and the attached picture (APIC) of MP3 files through the
// exports: reading, attaching, copying out, deleting and saving.
#include <gtest/gtest.h>

#include "tests/support/mpeg_fixtures.h"
#include "tests/support/process.h"

namespace {

using MpegPictureLyricsTest = Mp3ExportTest;

TEST_F(MpegPictureLyricsTest, StoredPictureIsLabelledSizedAndCopiedExactly) {
    Bytes image = PatternBytes(4321, 3);
    Open(Concat({Id3v2Tag(3, {PictureFrame(3, "image/png", "Front", image)}), Mp3Frames()}));
    EXPECT_EQ(TagParserGetData(handle_, FIELD_PICTURE), "Front [image/png]");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_PICTURE_INFO), "4321");
    Bytes buffer(4321 + 16, 0xA5);
    EXPECT_EQ(TagParserGetAttachedPictureData(handle_, buffer.data()), 4321);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4321), image);
    EXPECT_EQ(Bytes(buffer.begin() + 4321, buffer.end()), Bytes(16, 0xA5)) << "nothing beyond the picture";
}

TEST_F(MpegPictureLyricsTest, AttachingReplacesEveryPictureAndIsSaved) {
    Open(Concat({Id3v2Tag(4, {PictureFrame(4, "image/png", "", PatternBytes(10)),
                              PictureFrame(4, "image/gif", "", PatternBytes(20))}),
                 Mp3Frames()}));
    Bytes image = PatternBytes(3000, 9);
    std::string picture = dir_.Write("art.bin", image);
    TagParserSetDataW(handle_, FIELD_PICTURE, std::wstring(picture.begin(), picture.end()).c_str());
    EXPECT_EQ(TagParserGetData(handle_, FIELD_PICTURE_INFO), "3000");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_PICTURE), "[image/jpeg]");
    TagParserSetDataW(handle_, FIELD_PICTURE, L"/nonexistent/picture.jpg");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_PICTURE_INFO), "3000");
    TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
    ASSERT_EQ(TagParserApplyFile(handle_), 1);
    Reopen();
    Bytes buffer(3000);
    EXPECT_EQ(TagParserGetAttachedPictureData(handle_, buffer.data()), 3000);
    EXPECT_EQ(buffer, image);
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing: install it to check with an independent reader";
    std::string dump = MutagenId3Dump(path_);
    EXPECT_NE(dump.find("APIC enc=0 mime=image/jpeg type=0 size=3000\n"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("image/png"), std::string::npos) << dump;
}

TEST_F(MpegPictureLyricsTest, DeletingPicturesAndMissingPictures) {
    Open(Mp3Frames());
    EXPECT_EQ(TagParserDeleteAttachedPicture(handle_), 1);
    EXPECT_EQ(TagParserGetData(handle_, FIELD_HAS_ID3V2), "N");
    Bytes buffer(8, 0x11);
    EXPECT_EQ(TagParserGetAttachedPictureData(handle_, buffer.data()), 0);
    EXPECT_EQ(buffer, Bytes(8, 0x11));

    Open(Concat({Id3v2Tag(4, {PictureFrame(4, "image/png", "", PatternBytes(10)), TextFrame(4, "TIT2", "t")}),
                 Mp3Frames()}));
    EXPECT_EQ(TagParserDeleteAttachedPicture(handle_), 1);
    EXPECT_EQ(TagParserGetData(handle_, FIELD_PICTURE), "");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_PICTURE_INFO), "");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_TITLE2), "t");
}

TEST_F(MpegPictureLyricsTest, LyricsAreSetRemovedAndSavedAsOneLatin1Frame) {
    Open(Mp3Frames());
    EXPECT_EQ(TagParserGetData(handle_, FIELD_LYRICS), "");
    TagParserSetDataW(handle_, FIELD_LYRICS, L"Verse one\nVerse two");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_HAS_ID3V2), "Y");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_LYRICS), "Verse one\nVerse two");
    TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
    ASSERT_EQ(TagParserApplyFile(handle_), 1);
    Reopen();
    EXPECT_EQ(TagParserGetData(handle_, FIELD_LYRICS), "Verse one\nVerse two");
    if (HaveMutagen()) {
        std::string dump = MutagenId3Dump(path_);
        EXPECT_EQ(dump, "version 2.4.0\nUSLT enc=0 lang='   ' text=Verse one\nVerse two\n");
    }
    TagParserSetDataW(handle_, FIELD_LYRICS, L"");
    EXPECT_EQ(TagParserGetData(handle_, FIELD_LYRICS), "");
}

TEST_F(MpegPictureLyricsTest, ReplacedLyricsKeepTheirFrame) {
    Open(Concat({Id3v2Tag(3, {CommentLikeFrame(3, "USLT", "old words", "fra")}), Mp3Frames()}));
    TagParserSetDataW(handle_, FIELD_LYRICS, L"new words");
    TagParserSetDataW(handle_, FIELD_HAS_ID3V2, L"Y");
    ASSERT_EQ(TagParserApplyFile(handle_), 1);
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing: install it to check with an independent reader";
    EXPECT_NE(MutagenId3Dump(path_).find("USLT enc=0 lang='fra' text=new words\n"), std::string::npos);
}

}  // namespace
