// The exported functions on an initialised module: the digest range step
// (checked against md5sum of the same bytes), the lyrics buffer and bad
// arguments. (Memory images other parsers refuse: ogg_parser_test.)
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
        handle_ = TagParserOpenFile(dir_.Write("audio.bin", data_).c_str());
        ASSERT_NE(handle_, nullptr);
    }
    void TearDown() override { TagParserCloseFile(handle_); }

    Bytes data_;
    IBaseTag* handle_ = nullptr;
};

// A span over 160 KiB is cut: the MD5's to the limit past its start, the
// checksum's to the limit itself; the caller's start is only made
// non-negative, and its end kept.
TEST_F(ExportsTest, DigestRangeStepCapsTheRangeAndKeepsTheCallersEnd) {
    struct Case {
        int start, end;
        size_t md5Offset, md5Count;  // what TagParserGetMD5 digests
        size_t sumCount;             // what TagParserGetCheckSum digests
        int normalStart, normalEnd;  // what the caller sees afterwards
    } cases[] = {
        {-5, -1, 0, 163840, 163840, 0, 163840},
        {10, 163850, 10, 163850, 163850, 10, 163850},    // at the limit
        {10, 163851, 10, 163850, 163840, 10, 163851},    // just over it
        {5000, 0, 5000, 0, 0, 5000, 0},                  // an end of 0 is no end at all
        {450000, 460000, 400000, 0, 0, 450000, 460000},  // past the end: nothing
    };
    for (const auto& c : cases) {
        int md5[2] = {c.start, c.end}, sum[2] = {c.start, c.end};
        EXPECT_EQ(
            TagParserGetMD5(handle_, &md5[0], &md5[1]) + " " +
                TagParserGetCheckSum(handle_, &sum[0], &sum[1]),
            Md5sum(data_, c.md5Offset, c.md5Count) + " " + Md5sum(data_, c.md5Offset, c.sumCount))
            << c.start << ".." << c.end;
        EXPECT_EQ(std::vector<int>({md5[0], md5[1], sum[0], sum[1]}),
                  std::vector<int>({c.normalStart, c.normalEnd, c.normalStart, c.normalEnd}))
            << c.start << ".." << c.end;
    }
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
    EXPECT_EQ(TagParserSetLyrics(handle_, "words", 5), 0);
    EXPECT_EQ(TagParserSetLyrics(handle_, nullptr, 10), 0);
    TagParserSetAllLyric(handle_, "words");
    EXPECT_EQ(TagParserGetAllLyric(handle_, 0), "");
}

TEST_F(ExportsTest, NullArgumentsNeverCrash) {
    EXPECT_EQ(TagParserOpenFile(nullptr), nullptr);
    EXPECT_EQ(TagParserOpenFileW(nullptr), nullptr);
    EXPECT_EQ(TagParserOpenFile(""), nullptr);
    EXPECT_EQ(TagParserOpenFileW(L""), nullptr);
    EXPECT_EQ(TagParserGetDescription(handle_, 5, nullptr, 0), "audio");
    EXPECT_EQ(TagParserSetData(handle_, 0, nullptr), 0);
    EXPECT_EQ(TagParserGetSourceLength(handle_, nullptr, nullptr), 0);
    int start = 0;
    EXPECT_EQ(TagParserGetMD5(handle_, &start, nullptr), "");
    EXPECT_EQ(TagParserGetCheckSum(handle_, nullptr, &start), "");
}

// Narrow text crosses the exports in the calling thread's code page: values
// read are converted into it, values given are converted from it before the
// file gets them as Unicode (Ogg comments in UTF-8, Windows Media in UTF-16).
TEST_F(ExportsTest, NarrowTextFollowsTheCallingThreadsCodePage) {
    BuiltLocale latin1("en_US", "ISO-8859-1");
    if (!latin1.ok()) GTEST_SKIP() << "localedef cannot build locales here";
    OggFixture ogg;
    ogg.comments = {"ARTIST=Caf\u00E9 \u20AC"};
    asf::FileLayout wma;
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
            TagParserSetData(file.get(), FIELD_TITLE, "Gr\374\337e");  // 0 whatever happened
            EXPECT_EQ(TagParserApplyFile(file.get()), 1) << path;
        }
        OpenedFile file(path);  // back in the C locale: UTF-8
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Gr\u00FC\u00DFe") << path;
        EXPECT_EQ(TagParserGetDataW(file.get(), FIELD_ARTIST), L"Caf\u00E9 \u20AC") << path;
    }
}

}  // namespace
