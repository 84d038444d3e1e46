#include "parsers/shared/property_fields.h"

#include "lyParser.h"

namespace {

const struct {
    int id;
    const char* property;
} kFields[] = {
    {FIELD_TITLE, "TITLE"},
    {FIELD_ARTIST, "ARTIST"},
    {FIELD_ALBUM, "ALBUM"},
    {FIELD_YEAR, "DATE"},
    {FIELD_GENRE, "GENRE"},
    {FIELD_COMMENT, "COMMENT"},
    {FIELD_TRACK, "TRACKNUMBER"},
    {FIELD_TITLE2, "TITLE"},
    {FIELD_ARTIST2, "ARTIST"},
    {FIELD_ALBUM2, "ALBUM"},
    {FIELD_YEAR2, "DATE"},
    {FIELD_GENRE2, "GENRE"},
    {FIELD_COMMENT2, "COMMENT"},
    {FIELD_TRACK2, "TRACKNUMBER"},
    {FIELD_COMPOSER, "COMPOSER"},
    {FIELD_ORIGINAL_ARTIST, "ORIGINALARTIST"},
    {FIELD_COPYRIGHT, "COPYRIGHT"},
    {FIELD_URL, "URL"},
    {FIELD_ENCODED_BY, "ENCODEDBY"},
    {FIELD_LYRICS, "LYRICS"},
    {FIELD_BPM, "BPM"},
    {FIELD_DISC, "DISCNUMBER"},
};

}  // namespace

const char* PropertyOfField(int fieldId) {
    for (const auto& field : kFields) {
        if (field.id == fieldId) return field.property;
    }
    return nullptr;
}

bool IsBasicProperty(const std::string& property) {
    for (int id = FIELD_TITLE; id <= FIELD_TRACK; ++id) {
        if (property == PropertyOfField(id)) return true;
    }
    return false;
}

TagLib::String JoinValues(const TagLib::StringList& values) { return values.toString("; "); }

int LeadingNumber(const TagLib::String& text, int* total) {
    auto number = [&text](size_t* at) {
        long value = 0;
        while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9' && value < 1000000)
            value = value * 10 + (text[(*at)++] - '0');
        return static_cast<int>(value);
    };
    size_t at = 0;
    while (at < text.size() && text[at] == ' ') ++at;
    const int first = number(&at);
    if (total) {
        *total = 0;
        if (at < text.size() && text[at] == '/') {
            ++at;
            *total = number(&at);
        }
    }
    return first;
}
