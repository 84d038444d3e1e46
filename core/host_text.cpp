#include "core/host_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "lyCenter.h"

std::string HostText(unsigned id) {
    std::string text;
    GetResourceString(&text, GetCenterInstance(), id);
    return text;
}

namespace {

// One conversion: "%" flags width precision letter. False when it is not one
// this formatter accepts.
bool ParseConversion(const std::string& format, size_t* pos, std::string* conversion,
                     char* letter) {
    size_t i = *pos + 1;
    while (i < format.size() && std::strchr("-+ #0", format[i])) ++i;
    size_t digits = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9' && ++digits <= 3) ++i;
    if (i < format.size() && format[i] == '.') {
        ++i;
        digits = 0;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9' && ++digits <= 3) ++i;
    }
    if (i >= format.size()) return false;
    *letter = format[i];
    *conversion = format.substr(*pos, i + 1 - *pos);
    *pos = i + 1;
    return true;
}

bool Matches(char letter, FormatValue::Kind kind) {
    switch (kind) {
        case FormatValue::Kind::kInt:
            return std::strchr("diouxXc", letter) != nullptr;
        case FormatValue::Kind::kDouble:
            return std::strchr("fFeEgGaA", letter) != nullptr;
        case FormatValue::Kind::kText:
            return letter == 's';
    }
    return false;
}

void AppendOne(std::string* out, const std::string& conversion, const FormatValue& value) {
    std::vector<char> buffer(
        64 + (value.kind() == FormatValue::Kind::kText ? std::strlen(value.AsText()) : 0) + 2048);
    int n = 0;
    switch (value.kind()) {
        case FormatValue::Kind::kInt:
            n = std::snprintf(buffer.data(), buffer.size(), conversion.c_str(), value.AsInt());
            break;
        case FormatValue::Kind::kDouble:
            n = std::snprintf(buffer.data(), buffer.size(), conversion.c_str(), value.AsDouble());
            break;
        case FormatValue::Kind::kText:
            n = std::snprintf(buffer.data(), buffer.size(), conversion.c_str(), value.AsText());
            break;
    }
    if (n > 0) out->append(buffer.data(), std::min(static_cast<size_t>(n), buffer.size() - 1));
}

}  // namespace

std::string FormatChecked(const std::string& format, std::initializer_list<FormatValue> values) {
    std::string out;
    const FormatValue* next = values.begin();
    size_t pos = 0;
    while (pos < format.size()) {
        size_t percent = format.find('%', pos);
        if (percent == std::string::npos) {
            out.append(format, pos, std::string::npos);
            break;
        }
        out.append(format, pos, percent - pos);
        if (percent + 1 < format.size() && format[percent + 1] == '%') {
            out.push_back('%');
            pos = percent + 2;
            continue;
        }
        std::string conversion;
        char letter = 0;
        pos = percent;
        if (!ParseConversion(format, &pos, &conversion, &letter)) return std::string();
        if (next == values.end() || !Matches(letter, next->kind())) return std::string();
        AppendOne(&out, conversion, *next++);
    }
    return out;
}

std::string FormatHostText(unsigned id, std::initializer_list<FormatValue> values) {
    return FormatChecked(HostText(id), values);
}

std::string IntText(int value) { return std::to_string(value); }
