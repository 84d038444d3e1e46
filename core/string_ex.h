// StringEx: one text value held as narrow text, wide text or both.
//
// The two forms are not kept in step: each holds what was last stored into it,
// by an assignment of its own width or by a lazy conversion. A getter converts
// only when its own form is empty and the other is not, and keeps the result.
// Conversions use the calling thread's locale (see code_page.h).
// Not thread-safe: a value belongs to one thread at a time.
#ifndef LYPARSER_CORE_STRING_EX_H
#define LYPARSER_CORE_STRING_EX_H

#include <string>

class StringEx {
public:
    StringEx() = default;
    StringEx(const char* text);  // NOLINT: implicit by design, like the string types
    StringEx(const std::string& text);
    StringEx(std::string&& text);
    StringEx(const wchar_t* text);
    StringEx(const std::wstring& text);
    StringEx(std::wstring&& text);
    StringEx(const StringEx&) = default;
    StringEx(StringEx&&) noexcept = default;
    virtual ~StringEx();

    StringEx& operator=(const StringEx&) = default;
    StringEx& operator=(StringEx&&) noexcept = default;
    // A null pointer assigns empty text of that width.
    StringEx& operator=(const char* text);
    StringEx& operator=(const std::string& text);
    StringEx& operator=(const wchar_t* text);
    StringEx& operator=(const std::wstring& text);

    // Appends to the form of that width only; the flag is unchanged.
    StringEx& operator+=(const char* text);
    StringEx& operator+=(const std::string& text);
    StringEx& operator+=(const wchar_t* text);
    StringEx& operator+=(const std::wstring& text);

    bool IsWide() const { return wide_; }
    bool IsEmpty() const { return narrow_.empty() && wideText_.empty(); }
    // Removes leading and trailing white space from both forms.
    void Trim();

    std::string GetNarrow();
    std::wstring GetWide();
    // Valid until the value is next changed or destroyed.
    const char* GetNarrowPtr();
    const wchar_t* GetWidePtr();

    // The form in the width the value was last set in, converted on demand.
    // Useful where the caller only needs to look, e.g. for a path's bytes.
    const std::string& Narrow() {
        FillNarrow();
        return narrow_;
    }
    const std::wstring& Wide() {
        FillWide();
        return wideText_;
    }

private:
    void FillNarrow();
    void FillWide();

    bool wide_ = false;
    std::string narrow_;
    std::wstring wideText_;
};

#endif  // LYPARSER_CORE_STRING_EX_H
