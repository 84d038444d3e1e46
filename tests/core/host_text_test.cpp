// Host texts used as formats: only conversions that match their values are
// ever filled; anything else gives empty text.
#include "core/host_text.h"

#include <gtest/gtest.h>

#include <utility>

#include "lyCenter.h"

namespace {

TEST(HostTextTest, OnlyMatchingConversionsAreFilled) {
    const std::pair<const char*, const char*> cases[] = {
        {"%d bytes", "1234 bytes"},
        {"%5d|%-4s|%.1f", " 1234|ab  |2.5"},
        {"100%% %d", "100% 1234"},
        {"no conversions", "no conversions"},
        {"%x", "4d2"},
        {"only %d", "only 1234"},  // fewer conversions than values is safe
        {"%s", ""},                // text conversion for an int
        {"%d %d", ""},             // second value is text
        {"%d %s %f %d", ""},       // more conversions than values
        {"%n", ""},                // writes through a pointer
        {"%*d", ""},               // width from an argument
        {"%1$d", ""},              // positional argument
        {"%ld", ""},               // length modifier
        {"%p", ""},                // pointer
        {"trailing %", ""},        // cut short
        {"%99999d", ""},           // absurd width
    };
    for (const auto& [format, expected] : cases)
        EXPECT_EQ(FormatChecked(format, {1234, "ab", 2.5}), expected) << format;
}

TEST(HostTextTest, ReplacedHostTextIsCheckedToo) {
    SetResourceString(LYTEXT_FILE_SIZE, "Size: %s");  // a bad translation of an int format
    EXPECT_EQ(FormatHostText(LYTEXT_FILE_SIZE, {5000}), "");
    SetResourceString(LYTEXT_FILE_SIZE, "Size: %d");
    EXPECT_EQ(FormatHostText(LYTEXT_FILE_SIZE, {5000}), "Size: 5000");
    SetResourceString(LYTEXT_FILE_SIZE, nullptr);
    EXPECT_EQ(HostText(LYTEXT_FILE_SIZE), "");
}

}  // namespace
