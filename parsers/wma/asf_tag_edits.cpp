#include "parsers/wma/asf_tag_edits.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "parsers/shared/tag_lib_text.h"

namespace {

// The type of the first stream-0 attribute of `name`, or `fallback`.
TagLib::ASF::Attribute::AttributeTypes TypeOf(TagLib::ASF::Tag* tag, const TagLib::String& name,
                                              TagLib::ASF::Attribute::AttributeTypes fallback) {
    const TagLib::ASF::AttributeListMap& map = tag->attributeListMap();
    if (!map.contains(name)) return fallback;
    for (const TagLib::ASF::Attribute& attribute : map[name]) {
        if (attribute.stream() == 0) return attribute.type();
    }
    return fallback;
}

// `text` as an attribute of `type` when it is a number that type holds
// (digits only), else as text.
TagLib::ASF::Attribute TypedValue(const std::wstring& text,
                                  TagLib::ASF::Attribute::AttributeTypes type) {
    const bool digits =
        !text.empty() && text.size() <= 19 &&
        std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    const unsigned long long number = digits ? std::stoull(text) : 0;
    if (digits && type == TagLib::ASF::Attribute::QWordType) return TagLib::ASF::Attribute(number);
    if (digits && type == TagLib::ASF::Attribute::DWordType && number <= 0xFFFFFFFFull)
        return TagLib::ASF::Attribute(static_cast<unsigned int>(number));
    if (digits && type == TagLib::ASF::Attribute::WordType && number <= 0xFFFFull)
        return TagLib::ASF::Attribute(static_cast<unsigned short>(number));
    return TagLib::ASF::Attribute(ToTagText(text));
}

// The number `text` begins with ("6/15" gives 6), or 0.
unsigned long LeadingNumber(const std::wstring& text) {
    unsigned long number = 0;
    for (size_t i = 0; i < text.size() && text[i] >= L'0' && text[i] <= L'9' && number < 100000000;
         ++i) {
        number = number * 10 + static_cast<unsigned long>(text[i] - L'0');
    }
    return number;
}

}  // namespace

void RemoveStreamZero(TagLib::ASF::Tag* tag, const TagLib::String& name) {
    TagLib::ASF::AttributeListMap& map = tag->attributeListMap();
    if (!map.contains(name)) return;
    TagLib::ASF::AttributeList kept;
    for (const TagLib::ASF::Attribute& attribute : map[name]) {
        if (attribute.stream() != 0) kept.append(attribute);
    }
    if (kept.isEmpty()) {
        map.erase(name);
    } else {
        map[name] = kept;
    }
}

void PutInReaderOrder(TagLib::ASF::Tag* tag, const AsfAttributeLayout& layout) {
    TagLib::ASF::AttributeListMap& map = tag->attributeListMap();
    for (auto it = map.begin(); it != map.end(); ++it) {
        auto found = layout.places.find(FromTagText(it->first));
        if (found == layout.places.end() || found->second.size() != it->second.size()) continue;
        std::vector<std::pair<AsfPlace, TagLib::ASF::Attribute>> values;
        for (const TagLib::ASF::Attribute& attribute : it->second) {
            values.emplace_back(found->second[values.size()], attribute);
        }
        std::stable_sort(values.begin(), values.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        TagLib::ASF::AttributeList ordered;
        for (const auto& value : values) ordered.append(value.second);
        it->second = ordered;
    }
}

std::wstring NumberText(const TagLib::ASF::Attribute& attribute) {
    switch (attribute.type()) {
        case TagLib::ASF::Attribute::QWordType:
            return std::to_wstring(attribute.toULongLong());
        case TagLib::ASF::Attribute::DWordType:
            return std::to_wstring(attribute.toUInt());
        case TagLib::ASF::Attribute::WordType:
            return std::to_wstring(attribute.toUShort());
        default:
            return std::wstring();
    }
}

void WriteAsfTrackNumber(TagLib::ASF::Tag* tag, const std::wstring& text) {
    const TagLib::String number = ToTagText(kAsfTrackNumber), legacy = ToTagText(kAsfLegacyTrack);
    const auto numberType = TypeOf(tag, number, TagLib::ASF::Attribute::UnicodeType);
    RemoveStreamZero(tag, number);
    if (!text.empty()) tag->addAttribute(number, TypedValue(text, numberType));
    if (!tag->attributeListMap().contains(legacy)) return;
    const auto legacyType = TypeOf(tag, legacy, TagLib::ASF::Attribute::UnicodeType);
    RemoveStreamZero(tag, legacy);
    // A value without a number above 0 cannot be counted from 0: the legacy
    // number goes rather than disagree with it.
    const unsigned long first = LeadingNumber(text);
    if (first > 0) tag->addAttribute(legacy, TypedValue(std::to_wstring(first - 1), legacyType));
}
