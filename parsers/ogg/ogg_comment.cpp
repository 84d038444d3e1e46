#include "parsers/ogg/ogg_comment.h"

#include <algorithm>

#include "core/ascii.h"
#include "core/code_page.h"
#include "lyParser.h"

namespace {

constexpr wchar_t kValueJoin[] = L"; ";
constexpr char kDescription[] = "DESCRIPTION";

}  // namespace

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
            // What other players read; DESCRIPTION is read too.
            return "COMMENT";
        case FIELD_TRACK:
            return "TRACKNUMBER";
        case FIELD_LYRICS:
            return "LYRICS";
        default:
            return nullptr;
    }
}

int OggFieldOfName(const std::string& name) {
    if (SameOggName(name, kDescription)) return FIELD_COMMENT;
    for (int id : {FIELD_TITLE, FIELD_ARTIST, FIELD_ALBUM, FIELD_YEAR, FIELD_GENRE, FIELD_COMMENT,
                   FIELD_TRACK, FIELD_LYRICS}) {
        if (SameOggName(name, OggFieldName(id))) return id;
    }
    return -1;
}

bool IsValidOggName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(),
                                        [](char c) { return c >= 0x20 && c <= 0x7D && c != '='; });
}

bool SameOggName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

std::string OggReadName(const OggCommentList& list, int fieldId) {
    const char* name = OggFieldName(fieldId);
    if (!name) return std::string();
    if (fieldId == FIELD_COMMENT) {
        for (const auto& entry : list) {
            if (SameOggName(entry.name, kDescription)) return kDescription;
        }
    }
    return name;
}

StringEx JoinedOggValues(const OggCommentList& list, const std::string& name) {
    std::vector<const OggComment*> found;
    for (const auto& entry : list) {
        if (SameOggName(entry.name, name)) found.push_back(&entry);
    }
    if (found.empty()) return StringEx(std::string());
    if (found.size() == 1) return found[0]->value;
    std::wstring joined;
    for (const OggComment* entry : found) {
        StringEx value = entry->value;
        joined += (entry == found[0] ? L"" : kValueJoin) + value.GetWide();
    }
    return StringEx(joined);
}

void ReplaceOggValues(OggCommentList& list, const std::string& name, const StringEx& value) {
    auto first = std::find_if(list.begin(), list.end(), [&](const OggComment& entry) {
        return SameOggName(entry.name, name);
    });
    if (first == list.end()) {
        list.emplace_back(name, value);
        return;
    }
    *first = OggComment(first->name, value);
    list.erase(
        std::remove_if(first + 1, list.end(),
                       [&](const OggComment& entry) { return SameOggName(entry.name, name); }),
        list.end());
}

bool RemoveOggValues(OggCommentList& list, const std::string& name) {
    const size_t before = list.size();
    list.erase(
        std::remove_if(list.begin(), list.end(),
                       [&](const OggComment& entry) { return SameOggName(entry.name, name); }),
        list.end());
    return list.size() != before;
}

OggComment SplitOggComment(const std::string& text, bool* found) {
    size_t equals = text.find('=');
    *found = equals != std::string::npos;
    OggComment entry;
    entry.name = *found ? text.substr(0, equals) : std::string();
    entry.fileText = text;
    entry.fromFile = true;
    entry.value = StringEx(Utf8ToWide(*found ? text.substr(equals + 1) : text));
    return entry;
}

std::string OggValueUtf8(StringEx value) { return WideToUtf8(value.GetWide()); }

std::string OggCommentText(const OggComment& entry) {
    return entry.fromFile ? entry.fileText : entry.name + "=" + OggValueUtf8(entry.value);
}
