#include "parsers/riff/riff_store.h"

#include <taglib/infotag.h>

namespace {

// INFO chunk ids by property: the ones players and ffmpeg write.
const struct {
    const char* property;
    const char* ids[2];
} kInfoIds[] = {
    {"TITLE", {"INAM", nullptr}},      {"ARTIST", {"IART", nullptr}},
    {"ALBUM", {"IPRD", nullptr}},      {"DATE", {"ICRD", nullptr}},
    {"GENRE", {"IGNR", nullptr}},      {"COMMENT", {"ICMT", nullptr}},
    {"TRACKNUMBER", {"IPRT", "ITRK"}}, {"COPYRIGHT", {"ICOP", nullptr}},
    {"ENCODEDBY", {"ITCH", nullptr}},
};

}  // namespace

TagLib::StringList RiffStore::InfoValues(const std::string& property) const {
    if (!info_) return TagLib::StringList();
    for (const auto& entry : kInfoIds) {
        if (property != entry.property) continue;
        for (const char* id : entry.ids) {
            if (!id) break;
            const TagLib::String text = info_->fieldText(id);
            if (!text.isEmpty()) return TagLib::StringList(text);
        }
    }
    return TagLib::StringList();
}

TagLib::StringList RiffStore::Values(const std::string& property) const {
    TagLib::StringList values = id3v2_.Values(property);
    return values.isEmpty() ? InfoValues(property) : values;
}

bool RiffStore::SetValue(const std::string& property, const TagLib::String& value) {
    if (value.isEmpty() && !InfoValues(property).isEmpty()) return false;
    return id3v2_.SetValue(property, value);
}
