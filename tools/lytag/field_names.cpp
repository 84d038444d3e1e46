#include "tools/lytag/field_names.h"

#include <strings.h>

#include "core/code_page.h"
#include "lyParser.h"

namespace {

FieldPlace Id(int id) { return {id, nullptr}; }
FieldPlace Named(const char* name) { return {-1, name}; }
const FieldPlace kNowhere;

}  // namespace

const std::vector<FieldInfo>& AllFields() {
    // The seven basic fields exist in both MP3 tags; the rest in ID3v2 only.
    // Ogg and WMA names are the ones common taggers and players use.
    static const std::vector<FieldInfo> all = {
        {"title", FIELD_TITLE, FIELD_TITLE2, Id(FIELD_TITLE), Id(FIELD_TITLE), false},
        {"artist", FIELD_ARTIST, FIELD_ARTIST2, Id(FIELD_ARTIST), Id(FIELD_ARTIST), false},
        {"album", FIELD_ALBUM, FIELD_ALBUM2, Id(FIELD_ALBUM), Id(FIELD_ALBUM), false},
        {"year", FIELD_YEAR, FIELD_YEAR2, Id(FIELD_YEAR), Id(FIELD_YEAR), false},
        {"genre", FIELD_GENRE, FIELD_GENRE2, Id(FIELD_GENRE), Id(FIELD_GENRE), false},
        {"comment", FIELD_COMMENT, FIELD_COMMENT2, Id(FIELD_COMMENT), Id(FIELD_COMMENT), false},
        {"track", FIELD_TRACK, FIELD_TRACK2, Id(FIELD_TRACK), Id(FIELD_TRACK), false},
        {"composer", -1, FIELD_COMPOSER, Named("COMPOSER"), Id(FIELD_COMPOSER), false},
        {"disc", -1, FIELD_DISC, Named("DISCNUMBER"), Named("WM/PartOfSet"), false},
        {"bpm", -1, FIELD_BPM, kNowhere, Named("WM/BeatsPerMinute"), false},
        {"original-artist", -1, FIELD_ORIGINAL_ARTIST, kNowhere, Named("WM/OriginalArtist"), false},
        {"copyright", -1, FIELD_COPYRIGHT, Named("COPYRIGHT"), Named("Copyright"), false},
        {"url", -1, FIELD_URL, kNowhere, kNowhere, false},
        {"encoded-by", -1, FIELD_ENCODED_BY, kNowhere, Named("WM/EncodedBy"), false},
        {"lyrics", -1, FIELD_LYRICS, Id(FIELD_LYRICS), Named("WM/Lyrics"), false},
        {"rating", -1, -1, kNowhere, Id(FIELD_RATING), false},
        {"picture", -1, FIELD_PICTURE, kNowhere, kNowhere, true},
        {"picture-size", -1, FIELD_PICTURE_INFO, kNowhere, kNowhere, true},
        {"wm-sdk-version", -1, -1, kNowhere, Id(FIELD_WM_SDK_VERSION), true},
        {"wm-sdk-needed", -1, -1, kNowhere, Id(FIELD_WM_SDK_NEEDED), true},
    };
    return all;
}

bool ParseFieldName(const std::string& text, FieldName* field, std::string* error) {
    std::string name = text;
    field->tag = TagChoice::kShown;
    size_t colon = text.find(':');
    if (colon != std::string::npos) {
        name = text.substr(0, colon);
        std::string tag = text.substr(colon + 1);
        if (strcasecmp(tag.c_str(), "v1") != 0 && strcasecmp(tag.c_str(), "v2") != 0)
            return *error = "unknown tag '" + tag + "' in '" + text + "' (v1 or v2)", false;
        field->tag = strcasecmp(tag.c_str(), "v1") == 0 ? TagChoice::kId3v1 : TagChoice::kId3v2;
    }
    for (const auto& info : AllFields()) {
        if (strcasecmp(name.c_str(), info.name) != 0) continue;
        name = info.name;
        if (field->tag == TagChoice::kId3v1 && info.id3v1 < 0) {
            return *error = "ID3v1 has no " + name + " field", false;
        }
        if (field->tag == TagChoice::kId3v2 && info.id3v2 < 0) {
            return *error = "ID3v2 has no " + name + " field", false;
        }
        field->info = &info;
        return true;
    }
    *error = "unknown field '" + name + "'";
    return false;
}

std::wstring ReadField(IBaseTag* handle, int type, const FieldName& field) {
    const FieldInfo& info = *field.info;
    auto read = [&](const FieldPlace& place) {
        if (place.id >= 0) return TagParserGetDataW(handle, place.id);
        return place.name ? CodePageToWide(TagParserGetExData(handle, place.name)) : std::wstring();
    };
    if (type == FILE_TYPE_MP3) {
        std::wstring first = field.tag != TagChoice::kId3v2 ? read(Id(info.id3v1)) : L"";
        std::wstring second = field.tag != TagChoice::kId3v1 ? read(Id(info.id3v2)) : L"";
        return second.empty() ? first : second;
    }
    if (field.tag != TagChoice::kShown) return std::wstring();
    // Opus pictures are METADATA_BLOCK_PICTURE comments the picture fields read.
    if (type == FILE_TYPE_OPUS && (info.id3v2 == FIELD_PICTURE || info.id3v2 == FIELD_PICTURE_INFO))
        return read(Id(info.id3v2));
    if (type == FILE_TYPE_OGG || type == FILE_TYPE_OPUS) return read(info.ogg);
    if (type == FILE_TYPE_WMA) return read(info.wma);
    if (HoldsOneTag(type)) return read(Id(info.id3v2));
    // A CD track's disc names answer the basic ids.
    return type == FILE_TYPE_CDA ? read(Id(info.id3v1)) : std::wstring();
}

bool HoldsOneTag(int type) { return type >= FILE_TYPE_FLAC && type <= FILE_TYPE_WAVPACK; }

std::string FieldNameList() {
    constexpr size_t kWidth = 78;
    std::string list, line = " ";  // each name is added with a space before it
    for (const auto& info : AllFields()) {
        if (info.readOnly) continue;
        std::string word = std::string(" ") + info.name + ",";
        if (line.size() + word.size() > kWidth) list += line + "\n", line = " ";
        line += word;
    }
    list += line;
    list.back() = '.';
    return list;
}

const FieldInfo* VorbisFieldOfComment(const std::string& name) {
    static const char* const kKnown[][2] = {
        {"TITLE", "title"},     {"ARTIST", "artist"},     {"ALBUM", "album"},
        {"DATE", "year"},       {"GENRE", "genre"},       {"DESCRIPTION", "comment"},
        {"COMMENT", "comment"}, {"TRACKNUMBER", "track"}, {"LYRICS", "lyrics"},
    };
    for (const auto& known : kKnown) {
        if (strcasecmp(name.c_str(), known[0]) != 0) continue;
        for (const auto& info : AllFields()) {
            if (std::string(info.name) == known[1]) return &info;
        }
    }
    return nullptr;
}
