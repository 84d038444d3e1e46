// The one place where text changes encoding.
//
// "Code page" here is the multibyte encoding of the calling thread's LC_CTYPE
// locale, UTF-8 when that locale is the plain C/POSIX one. Decoding turns each
// invalid byte into U+FFFD; encoding writes '?' for every character the target
// cannot hold. wchar_t holds one character (UTF-32). All functions are
// thread-safe and read only the calling thread's locale.
#ifndef LYPARSER_CORE_CODE_PAGE_H
#define LYPARSER_CORE_CODE_PAGE_H

#include <cstddef>
#include <string>

// Identifies an encoding for the two buffer helpers below.
enum class CodePage { kThread, kUtf8 };

// The calling thread's code page: kUtf8 for UTF-8 and C/POSIX locales.
CodePage ThreadCodePage();

std::wstring CodePageToWide(const std::string& text);
std::string WideToCodePage(const std::wstring& text);
// Strict form: false when some character has no form in the code page.
bool WideToCodePageExact(const std::wstring& text, std::string* out);

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// Text of unknown origin: UTF-8 when the whole text is valid UTF-8, else
// ISO-8859-1 (each byte one character).
std::wstring Utf8OrLatin1ToWide(const std::string& text);
// UTF-16 code units (surrogate pairs joined; lone surrogates read as U+FFFD).
std::wstring Utf16ToWide(const std::u16string& text);
std::u16string WideToUtf16(const std::wstring& text);

// Converts the null-terminated `source` into at most `size` elements of
// `destination`, terminator included. A null destination or source gives null
// and leaves the destination alone; otherwise destination[0] is set to 0 first,
// and the result is the destination, or null when it was too small (then
// only destination[0] is written). Conversion follows the rules above.
wchar_t* MultiByteToWideBuf(wchar_t* destination, const char* source, int size, CodePage page);
char* WideToMultiByteBuf(char* destination, const wchar_t* source, int size, CodePage page);

#endif  // LYPARSER_CORE_CODE_PAGE_H
