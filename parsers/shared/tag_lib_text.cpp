#include "parsers/shared/tag_lib_text.h"

#include "core/code_page.h"

TagLib::String ToTagText(const std::wstring& text) {
    return TagLib::String(WideToUtf8(text), TagLib::String::UTF8);
}

std::wstring FromTagText(const TagLib::String& text) {
    // TagLib holds UTF-16 code units, one per wchar_t.
    const wchar_t* units = text.toCWString();
    return Utf16ToWide(std::u16string(units, units + text.size()));
}
