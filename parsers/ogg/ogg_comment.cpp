#include "parsers/ogg/ogg_comment.h"

#include "core/ascii.h"
#include "core/code_page.h"
#include "lyParser.h"

const char* OggFieldName(int fieldId) {
    switch (fieldId) {
        case FIELD_TITLE:
            return "TITLE";
        case FIELD_ARTIST:
            return "ARTIST";
        case FIELD_ALBUM:
            return "ALBUM";
        case FIELD_YEAR:
            return "DATE";
        case FIELD_GENRE:
            return "GENRE";
        case FIELD_COMMENT:
            return "DESCRIPTION";
        case FIELD_TRACK:
            return "TRACKNUMBER";
        case FIELD_LYRICS:
            return "LYRICS";
        default:
            return nullptr;
    }
}

bool IsKnownOggField(const std::string& name) {
    static const char* const kKnown[] = {"TITLE",   "ALBUM", "TRACKNUMBER", "ARTIST", "DESCRIPTION",
                                         "COMMENT", "GENRE", "DATE",        "LYRICS"};
    for (const char* known : kKnown) {
        if (SameOggName(name, known)) return true;
    }
    return false;
}

bool SameOggName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

OggComment* FindOggComment(OggCommentList& list, const std::string& name) {
    for (auto& entry : list) {
        if (SameOggName(entry.name, name)) return &entry;
    }
    return nullptr;
}

OggComment SplitOggComment(const std::string& text, bool* found) {
    size_t equals = text.find('=');
    *found = equals != std::string::npos;
    OggComment entry;
    entry.name = *found ? text.substr(0, equals) : std::string();
    entry.fileValue = *found ? text.substr(equals + 1) : text;
    entry.fromFile = true;
    entry.value = StringEx(Utf8ToWide(entry.fileValue));
    return entry;
}

std::string OggValueUtf8(StringEx value) { return WideToUtf8(value.GetWide()); }

std::string OggCommentText(const OggComment& entry) {
    return entry.name + "=" + (entry.fromFile ? entry.fileValue : OggValueUtf8(entry.value));
}
