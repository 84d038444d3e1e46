// The exported functions on an initialised module: the digest range step
// (checked against md5sum of the same bytes), the lyrics buffer, memory
// opens, handles, and bad arguments.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/built_locale.h"
#include "tests/support/locale_guard.h"
#include "tests/support/module_test.h"
#include "tests/support/ogg_fixtures.h"
#include "tests/support/process.h"
#include "tools/samples/wma_sample.h"

namespace {

class ExportsTest : public ModuleTest {
protected:
    void SetUp() override {
        data_ = PatternBytes(400000, 5);
        path_ = dir_.Write("audio.bin", data_);
        handle_ = TagParserOpenFile(path_.c_str());
        ASSERT_NE(handle_, nullptr);
    }
    void TearDown() override { TagParserCloseFile(handle_); }

    Bytes data_;
    std::string path_;
    IBaseTag* handle_ = nullptr;
};

TEST_F(ExportsTest, DigestRangeStepCapsTheRangeAndKeepsTheCallersEnd) {
    struct Case {
        int start, end;
        size_t md5Offset, md5Count;  // what TagParserGetMD5 digests
        size_t sumCount;             // what TagParserGetCheckSum digests
        int normalStart, normalEnd;  // what the caller sees afterwards
    } cases[] = {
        {-5, -1, 0, 163840, 163840, 0, 163840},
        {1000, 500000, 1000, 164840, 163840, 1000, 500000},
        {0, 100000, 0, 100000, 100000, 0, 100000},
        {0, 1000000, 0, 163840, 163840, 0, 1000000},
        {4096, 1000000, 4096, 167936, 163840, 4096, 1000000},
        {100, 50, 100, 50, 50, 100, 50},
        {5000, 0, 5000, 0, 0, 5000, 0},
        {399000, 500000, 399000, 1000, 1000, 399000, 500000},  // past the end: what exists
        {450000, 460000, 400000, 0, 0, 450000, 460000},
    };
    for (const auto& c : cases) {
        int start = c.start, end = c.end;
        EXPECT_EQ(TagParserGetMD5(handle_, &start, &end), Md5sum(data_, c.md5Offset, c.md5Count))
            << c.start << ".." << c.end;
        EXPECT_EQ(start, c.normalStart);
        EXPECT_EQ(end, c.normalEnd);
        start = c.start, end = c.end;
        EXPECT_EQ(TagParserGetCheckSum(handle_, &start, &end),
                  Md5sum(data_, c.md5Offset, c.sumCount))
            << c.start << ".." << c.end;
        EXPECT_EQ(end, c.normalEnd);
    }
    int start = 0;
    EXPECT_EQ(TagParserGetMD5(handle_, &start, nullptr), "");
}

TEST_F(ExportsTest, HandlesAreIndependent) {
    std::string other = dir_.Write("other.txt", std::string("12345"));
    IBaseTag* b = TagParserOpenFile(other.c_str());
    ASSERT_NE(b, nullptr);
    EXPECT_NE(handle_, b);
    int start = 0, end = 0;
    EXPECT_EQ(TagParserGetSourceLength(handle_, &start, &end), 400000);
    TagParserCloseFile(handle_);
    handle_ = nullptr;
    EXPECT_EQ(TagParserGetSourceLength(b, &start, &end), 5);
    EXPECT_EQ(TagParserGetDescription(b, 0, "", 0), "other");
    TagParserCloseFile(b);
}

TEST_F(ExportsTest, UnsupportedOperationsGiveTheirDefaults) {
    EXPECT_EQ(TagParserSetData(handle_, FIELD_TITLE, "x"), 0);
    EXPECT_EQ(TagParserSetDataW(handle_, FIELD_TITLE, L"x"), 0);
    EXPECT_EQ(TagParserSetExData(handle_, "KEY", "x"), 0);
    EXPECT_EQ(TagParserGetExData(handle_, "KEY"), "");
    EXPECT_EQ(TagParserApplyFile(handle_), 1);
    EXPECT_EQ(TagParserDeleteAttachedPicture(handle_), 2);
    unsigned char picture[4] = {7, 7, 7, 7};
    EXPECT_EQ(TagParserGetAttachedPictureData(handle_, picture), 0);
    EXPECT_EQ(picture[0], 7);
    std::string lyrics(3000, 'l');
    EXPECT_EQ(TagParserSetLyrics(handle_, lyrics.data(), 3000), 0);
    EXPECT_EQ(TagParserSetLyrics(handle_, nullptr, 10), 0);
    TagParserSetAllLyric(handle_, "words");
    EXPECT_EQ(TagParserGetAllLyric(handle_, 0), "");
    TagParserGetLyrics(1, 2, 3, 4, 5, 6);
}

TEST_F(ExportsTest, MemoryImagesAreRefusedByEveryParserWithoutOne) {
    const unsigned char image[] = "ID3\x04\x00\x00\x00\x00\x00\x00";
    for (int type : {-1, 0, 1, 3, 4, 5, 6, 7, 8, 100}) {
        EXPECT_EQ(TagParserOpenBinaryFile(type, image, sizeof image), nullptr) << type;
    }
}

TEST_F(ExportsTest, NullArgumentsNeverCrash) {
    EXPECT_EQ(TagParserOpenFile(nullptr), nullptr);
    EXPECT_EQ(TagParserOpenFileW(nullptr), nullptr);
    EXPECT_EQ(TagParserOpenFile(""), nullptr);
    EXPECT_EQ(TagParserOpenFileW(L""), nullptr);
    EXPECT_EQ(TagParserGetExData(nullptr, nullptr), "");
    EXPECT_EQ(TagParserSetExData(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(TagParserGetDescriptionW(nullptr, 0, nullptr, 0), L"");
    EXPECT_EQ(TagParserGetSourceLength(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(TagParserGetCheckSum(nullptr, nullptr, nullptr), "");
    EXPECT_EQ(TagParserGetDescription(handle_, 5, nullptr, 0), "audio");
    EXPECT_EQ(TagParserSetData(handle_, 0, nullptr), 0);
    EXPECT_EQ(TagParserGetSourceLength(handle_, nullptr, nullptr), 0);
}

// Narrow text crosses the exports in the calling thread's code page: values
// read are converted into it, values given are converted from it before the
// file gets them as Unicode (Ogg comments in UTF-8, Windows Media in UTF-16).
TEST_F(ExportsTest, NarrowTextFollowsTheCallingThreadsCodePage) {
    BuiltLocale latin1("en_US", "ISO-8859-1");
    if (!latin1.ok()) GTEST_SKIP() << "localedef cannot build locales here";
    OggFixture ogg;
    ogg.comments = {"ARTIST=Caf\xC3\xA9 \xE2\x82\xAC"};
    asf::FileSpec wma;
    wma.hasContentDescription = true;
    wma.content.author = u"Caf\u00E9 \u20AC";
    for (const std::string& path :
         {dir_.Write("a.ogg", MakeOgg(ogg)), dir_.Write("a.wma", asf::MakeFile(wma))}) {
        {
            ThreadLocale guard(latin1.name());
            ASSERT_TRUE(guard.ok());
            OpenedFile file(path);
            ASSERT_NE(file.get(), nullptr) << path;
            EXPECT_EQ(TagParserGetData(file.get(), FIELD_ARTIST), "Caf\xE9 ?") << path;
            TagParserSetData(file.get(), FIELD_TITLE,
                             "Gr\xFC\xDF"
                             "e");  // 0 whatever happened
            EXPECT_EQ(TagParserApplyFile(file.get()), 1) << path;
        }
        OpenedFile file(path);  // back in the C locale: UTF-8
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE),
                  "Gr\xC3\xBC\xC3\x9F"
                  "e")
            << path;
        EXPECT_EQ(TagParserGetDataW(file.get(), FIELD_ARTIST), L"Caf\u00E9 \u20AC") << path;
    }
}

}  // namespace
