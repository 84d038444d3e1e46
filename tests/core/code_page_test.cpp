// Text conversions: UTF-8 and UTF-16, with the replacement rules for bytes
// and characters that do not fit. The locale's code page is checked through
// StringEx and wide paths.
#include "core/code_page.h"

#include <gtest/gtest.h>

#include "tests/support/built_locale.h"
#include "tests/support/locale_guard.h"

namespace {

TEST(CodePageTest, Utf8DecodingReplacesEachInvalidByte) {
    struct Case {
        std::string bytes;
        std::wstring wide;
    } cases[] = {
        {"plain", L"plain"},
        {"\xC3\xA9", L"\u00E9"},
        {"\xF0\x9F\x98\x80", L"\U0001F600"},
        {"a\xFFz", L"a\uFFFDz"},
        {"\xC0\xAF", L"\uFFFD\uFFFD"},            // overlong form of '/'
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
        {"\xE2\x82", L"\uFFFD\uFFFD"},            // cut short at the end
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToWide(c.bytes), c.wide) << c.bytes;
}

TEST(CodePageTest, EncodingsKeepCharactersOutsideTheBasicPlaneAndMarkTheRest) {
    EXPECT_EQ(WideToUtf8(L"\U0001F3B5x"), "\xF0\x9F\x8E\xB5x");
    EXPECT_EQ(WideToUtf8({L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000)}),
              "a??");
    std::wstring text = L"A\U0001F600\u00E9";
    EXPECT_EQ(WideToUtf16(text), (std::u16string{u'A', 0xD83D, 0xDE00, 0x00E9}));
    EXPECT_EQ(Utf16ToWide(WideToUtf16(text)), text);
    EXPECT_EQ(Utf16ToWide(std::u16string{0xDC00, u'x'}), L"\uFFFDx");
}

// Legacy code pages: one byte per character, and a multibyte one where bytes
// can be invalid or cut short.
TEST(CodePageTest, OtherLocalesUseTheirOwnEncoding) {
    {
        BuiltLocale latin1("en_US", "ISO-8859-1");
        if (!latin1.ok()) GTEST_SKIP() << "localedef cannot build locales here";
        ThreadLocale guard(latin1.name());
        ASSERT_TRUE(guard.ok());
        EXPECT_EQ(ThreadCodePage(), CodePage::kThread);
        EXPECT_EQ(CodePageToWide("Caf\xE9"), L"Caf\u00E9");
        EXPECT_EQ(WideToCodePage(L"Caf\u00E9 \u20AC\U0001F3B5"), "Caf\xE9 ??");
        std::string out;
        EXPECT_FALSE(WideToCodePageExact(L"\u20AC", &out));
        EXPECT_TRUE(WideToCodePageExact(L"\u00FF", &out));
        EXPECT_EQ(out, "\xFF");
    }
    BuiltLocale eucJp("ja_JP", "EUC-JP");
    ASSERT_TRUE(eucJp.ok());
    ThreadLocale guard(eucJp.name());
    ASSERT_TRUE(guard.ok());
    EXPECT_EQ(CodePageToWide("\xB4\xC1\xBB\xFA"), L"\u6F22\u5B57");
    EXPECT_EQ(CodePageToWide("a\xFFz\xB4"), L"a\uFFFDz\uFFFD");  // invalid, then cut short
    EXPECT_EQ(WideToCodePage(L"\u6F22\U0001F3B5"), "\xB4\xC1?");
}

}  // namespace
