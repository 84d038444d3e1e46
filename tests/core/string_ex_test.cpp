// StringEx: the lazy conversion rules, the width flag and emptiness.
#include "core/string_ex.h"

#include <gtest/gtest.h>

#include "tests/support/locale_guard.h"

namespace {

TEST(StringExTest, ConvertedFormIsKeptEvenAfterANewerAssignment) {
    StringEx value("abc");
    EXPECT_EQ(value.GetWide(), L"abc");
    value = "xyz";
    EXPECT_EQ(value.GetWide(), L"abc");  // the wide form was filled and is no longer empty
    EXPECT_EQ(value.GetNarrow(), "xyz");
    EXPECT_FALSE(value.IsWide());
}

TEST(StringExTest, FlagRecordsTheWidthOfTheLastAssignment) {
    StringEx value(L"");
    EXPECT_TRUE(value.IsWide());
    value = "text";
    EXPECT_FALSE(value.IsWide());
    EXPECT_EQ(value.GetWide(), L"text");
    value = L"wide";
    EXPECT_TRUE(value.IsWide());
    EXPECT_EQ(value.GetNarrow(), "text");  // the narrow form was never empty
    StringEx fresh;
    EXPECT_FALSE(fresh.IsWide());
}

TEST(StringExTest, IsEmptyLooksAtBothForms) {
    StringEx value;
    EXPECT_TRUE(value.IsEmpty());
    value = L"x";
    value = "";
    EXPECT_FALSE(value.IsEmpty());
    EXPECT_EQ(value.GetNarrow(), "x");
}

TEST(StringExTest, AppendingTouchesOneFormAndKeepsTheFlag) {
    StringEx value(L"ab");
    value += "cd";
    EXPECT_TRUE(value.IsWide());
    EXPECT_EQ(value.GetWide(), L"ab");
    EXPECT_EQ(value.GetNarrow(), "cd");
    value += L"ef";
    EXPECT_EQ(value.GetWide(), L"abef");
}

TEST(StringExTest, TrimRemovesSurroundingBlanksFromBothForms) {
    StringEx value(" \t narrow \n");
    value = L"  wide  ";
    value.Trim();
    EXPECT_EQ(value.GetNarrow(), "narrow");
    EXPECT_EQ(value.GetWide(), L"wide");
}

TEST(StringExTest, ConversionFollowsTheThreadLocale) {
    const std::string utf8 = "Caf\xC3\xA9 \xF0\x9F\x8E\xB5";  // "Café 🎵"
    for (const char* locale : {"C", "C.UTF-8"}) {
        ThreadLocale guard(locale);
        ASSERT_TRUE(guard.ok()) << locale;
        StringEx narrow(utf8);
        EXPECT_EQ(narrow.GetWide(), L"Caf\u00E9 \U0001F3B5") << locale;
        StringEx wide(L"Caf\u00E9 \U0001F3B5");
        EXPECT_EQ(wide.GetNarrow(), utf8) << locale;
    }
}

}  // namespace
