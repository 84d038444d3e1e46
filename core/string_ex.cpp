#include "core/string_ex.h"

#include <cwctype>

#include "core/code_page.h"

StringEx::StringEx(const char* text) : narrow_(text ? text : "") {}
StringEx::StringEx(const std::string& text) : narrow_(text) {}
StringEx::StringEx(std::string&& text) : narrow_(std::move(text)) {}
StringEx::StringEx(const wchar_t* text) : wide_(true), wideText_(text ? text : L"") {}
StringEx::StringEx(const std::wstring& text) : wide_(true), wideText_(text) {}
StringEx::StringEx(std::wstring&& text) : wide_(true), wideText_(std::move(text)) {}
StringEx::~StringEx() = default;

StringEx& StringEx::operator=(const char* text) {
    narrow_ = text ? text : "";
    wide_ = false;
    return *this;
}

StringEx& StringEx::operator=(const std::string& text) {
    narrow_ = text;
    wide_ = false;
    return *this;
}

StringEx& StringEx::operator=(const wchar_t* text) {
    wideText_ = text ? text : L"";
    wide_ = true;
    return *this;
}

StringEx& StringEx::operator=(const std::wstring& text) {
    wideText_ = text;
    wide_ = true;
    return *this;
}

StringEx& StringEx::operator+=(const char* text) {
    if (text) narrow_ += text;
    return *this;
}

StringEx& StringEx::operator+=(const std::string& text) {
    narrow_ += text;
    return *this;
}

StringEx& StringEx::operator+=(const wchar_t* text) {
    if (text) wideText_ += text;
    return *this;
}

StringEx& StringEx::operator+=(const std::wstring& text) {
    wideText_ += text;
    return *this;
}

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsBlank(wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; }

template <typename Text>
void TrimText(Text& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    text = text.substr(begin, end - begin);
}

}  // namespace

void StringEx::Trim() {
    TrimText(narrow_);
    TrimText(wideText_);
}

void StringEx::FillNarrow() {
    if (narrow_.empty() && !wideText_.empty()) narrow_ = WideToCodePage(wideText_);
}

void StringEx::FillWide() {
    if (wideText_.empty() && !narrow_.empty()) wideText_ = CodePageToWide(narrow_);
}

std::string StringEx::GetNarrow() {
    FillNarrow();
    return narrow_;
}

std::wstring StringEx::GetWide() {
    FillWide();
    return wideText_;
}

const char* StringEx::GetNarrowPtr() {
    FillNarrow();
    return narrow_.c_str();
}

const wchar_t* StringEx::GetWidePtr() {
    FillWide();
    return wideText_.c_str();
}
