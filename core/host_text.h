// The player's texts, and filling them with values safely.
//
// A host text used as a printf format is never trusted: FormatHostText checks
// every conversion against the value it will receive and gives empty text when
// one does not match, so a wrong translation can never read a wrong argument.
// Thread-safe.
#ifndef LYPARSER_CORE_HOST_TEXT_H
#define LYPARSER_CORE_HOST_TEXT_H

#include <initializer_list>
#include <string>

// The player's localised text for `id` (empty when it has none).
std::string HostText(unsigned id);

// One value for a format conversion.
class FormatValue {
public:
    enum class Kind { kInt, kDouble, kText };
    FormatValue(int value) : kind_(Kind::kInt), int_(value) {}                           // NOLINT
    FormatValue(double value) : kind_(Kind::kDouble), double_(value) {}                  // NOLINT
    FormatValue(const char* value) : kind_(Kind::kText), text_(value ? value : "") {}    // NOLINT
    FormatValue(const std::string& value) : kind_(Kind::kText), text_(value.c_str()) {}  // NOLINT

    Kind kind() const { return kind_; }
    int AsInt() const { return int_; }
    double AsDouble() const { return double_; }
    const char* AsText() const { return text_; }

private:
    Kind kind_;
    int int_ = 0;
    double double_ = 0;
    const char* text_ = "";
};

// printf-style formatting of `format` with `values`. Accepted conversions:
// d i u o x X c for ints; f F e E g G a A for doubles; s for texts; "%%".
// Flags, a fixed width and precision are allowed; '*', positional arguments
// and length modifiers are not. The format may use fewer values than given
// but never more, and never a value of another kind: then the result is "".
std::string FormatChecked(const std::string& format, std::initializer_list<FormatValue> values);

// FormatChecked with the host's text `id` as the format.
std::string FormatHostText(unsigned id, std::initializer_list<FormatValue> values);

// printf with one int and "%d", for the many plain numbers.
std::string IntText(int value);

#endif  // LYPARSER_CORE_HOST_TEXT_H
