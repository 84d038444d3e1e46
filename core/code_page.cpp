// Text encodings. UTF-8 (also the C locale's code page), UTF-16 and UTF-32
// are converted here by hand; other locale encodings go through the C
// library's restartable conversions, which follow the calling thread's locale.
#include "core/code_page.h"

#include <langinfo.h>

#include <climits>
#include <cstring>
#include <cwchar>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when invalid.
size_t DecodeUtf8(const unsigned char* text, size_t size, size_t i, char32_t* out) {
    unsigned char lead = text[i];
    if (lead < 0x80) {
        *out = lead;
        return 1;
    }
    size_t length;
    char32_t value;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (size - i < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((text[i + k] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (text[i + k] & 0x3F);
    }
    if (value < minimum || !IsScalar(value)) return 0;
    *out = value;
    return length;
}

void EncodeUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Encodes into UTF-8; false when some character had to become '?'.
bool WideToUtf8Checked(const std::wstring& text, std::string* out) {
    bool exact = true;
    out->clear();
    out->reserve(text.size());
    for (wchar_t w : text) {
        auto c = static_cast<char32_t>(w);
        if (IsScalar(c)) {
            EncodeUtf8(c, out);
        } else {
            out->push_back('?');
            exact = false;
        }
    }
    return exact;
}

std::wstring LocaleToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    std::mbstate_t state{};
    size_t i = 0;
    while (i < text.size()) {
        wchar_t c = 0;
        size_t n = std::mbrtowc(&c, text.data() + i, text.size() - i, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            out.push_back(static_cast<wchar_t>(kReplacement));
            state = std::mbstate_t{};
            ++i;
        } else {
            out.push_back(c);  // an embedded NUL reads as one byte
            i += n == 0 ? 1 : n;
        }
    }
    return out;
}

bool WideToLocale(const std::wstring& text, std::string* out) {
    bool exact = true;
    out->clear();
    out->reserve(text.size());
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t c : text) {
        size_t n = std::wcrtomb(buffer, c, &state);
        if (n == static_cast<size_t>(-1)) {
            out->push_back('?');
            state = std::mbstate_t{};
            exact = false;
        } else {
            out->append(buffer, n);
        }
    }
    return exact;
}

}  // namespace

CodePage ThreadCodePage() {
    const char* codeset = nl_langinfo(CODESET);
    if (!codeset || std::strcmp(codeset, "UTF-8") == 0 ||
        std::strcmp(codeset, "ANSI_X3.4-1968") == 0) {
        return CodePage::kUtf8;
    }
    return CodePage::kThread;
}

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        char32_t c;
        size_t n = DecodeUtf8(bytes, text.size(), i, &c);
        out.push_back(static_cast<wchar_t>(n ? c : kReplacement));
        i += n ? n : 1;
    }
    return out;
}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    WideToUtf8Checked(text, &out);
    return out;
}

std::wstring Utf8OrLatin1ToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0, n; i < text.size(); i += n) {
        char32_t c;
        if ((n = DecodeUtf8(bytes, text.size(), i, &c)) == 0)
            return std::wstring(bytes, bytes + text.size());
        out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}

std::wstring Utf16ToWide(const std::u16string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}

std::u16string WideToUtf16(const std::wstring& text) {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        auto c = static_cast<char32_t>(w);
        if (!IsScalar(c)) {
            out.push_back(static_cast<char16_t>(kReplacement));
        } else if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::wstring CodePageToWide(const std::string& text) {
    return ThreadCodePage() == CodePage::kUtf8 ? Utf8ToWide(text) : LocaleToWide(text);
}

std::string WideToCodePage(const std::wstring& text) {
    std::string out;
    WideToCodePageExact(text, &out);
    return out;
}

bool WideToCodePageExact(const std::wstring& text, std::string* out) {
    return ThreadCodePage() == CodePage::kUtf8 ? WideToUtf8Checked(text, out)
                                               : WideToLocale(text, out);
}

wchar_t* MultiByteToWideBuf(wchar_t* destination, const char* source, int size, CodePage page) {
    if (!destination || !source) return nullptr;
    destination[0] = 0;
    std::string text(source);
    std::wstring wide = page == CodePage::kUtf8 ? Utf8ToWide(text) : LocaleToWide(text);
    if (size <= 0 || wide.size() >= static_cast<size_t>(size)) return nullptr;
    std::wmemcpy(destination, wide.c_str(), wide.size() + 1);
    return destination;
}

char* WideToMultiByteBuf(char* destination, const wchar_t* source, int size, CodePage page) {
    if (!destination || !source) return nullptr;
    destination[0] = 0;
    std::wstring wide(source);
    std::string text;
    if (page == CodePage::kUtf8) {
        WideToUtf8Checked(wide, &text);
    } else {
        WideToLocale(wide, &text);
    }
    if (size <= 0 || text.size() >= static_cast<size_t>(size)) return nullptr;
    std::memcpy(destination, text.c_str(), text.size() + 1);
    return destination;
}
