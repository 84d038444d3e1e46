// StringEx: the lazy conversion rules, the width flag and emptiness.
#include "core/string_ex.h"

#include <gtest/gtest.h>

namespace {

// A form, once filled by conversion or assignment, is kept: a later
// assignment of the other width replaces only its own form.
TEST(StringExTest, FilledFormsAreKeptAndTheFlagRecordsTheLastAssignment) {
    StringEx value("abc");
    EXPECT_FALSE(value.IsWide());
    EXPECT_EQ(value.GetWide(), L"abc");
    value = "xyz";
    EXPECT_EQ(value.GetWide(), L"abc");
    EXPECT_EQ(value.GetNarrow(), "xyz");
    value = L"wide";
    EXPECT_TRUE(value.IsWide());
    EXPECT_EQ(value.GetNarrow(), "xyz");
    EXPECT_TRUE(StringEx(L"").IsWide());
    EXPECT_FALSE(StringEx().IsWide());

    StringEx appended(L"ab");
    appended += "cd";  // touches the narrow form only
    EXPECT_TRUE(appended.IsWide());
    EXPECT_EQ(appended.GetWide(), L"ab");
    EXPECT_EQ(appended.GetNarrow(), "cd");
    appended += L"ef";
    EXPECT_EQ(appended.GetWide(), L"abef");
}

TEST(StringExTest, IsEmptyLooksAtBothFormsAndTrimCleansBoth) {
    StringEx value;
    EXPECT_TRUE(value.IsEmpty());
    value = L"x";
    value = "";
    EXPECT_FALSE(value.IsEmpty());
    EXPECT_EQ(value.GetNarrow(), "x");

    StringEx padded(" \t narrow \n");
    padded = L"  wide  ";
    padded.Trim();
    EXPECT_EQ(padded.GetNarrow(), "narrow");
    EXPECT_EQ(padded.GetWide(), L"wide");
}

}  // namespace
