#include "parsers/ogg/ogg_field_names.h"

#include "lyParser.h"
#include "parsers/vorbis_comment/vorbis_comment_list.h"

namespace {

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
    if (VorbisCommentList::SameName(name, kDescription)) return FIELD_COMMENT;
    for (int id : {FIELD_TITLE, FIELD_ARTIST, FIELD_ALBUM, FIELD_YEAR, FIELD_GENRE, FIELD_COMMENT,
                   FIELD_TRACK, FIELD_LYRICS}) {
        if (VorbisCommentList::SameName(name, OggFieldName(id))) return id;
    }
    return -1;
}

std::string OggReadName(const VorbisCommentList& list, int fieldId) {
    const char* name = OggFieldName(fieldId);
    if (!name) return std::string();
    if (fieldId == FIELD_COMMENT && list.HasValue(kDescription)) return kDescription;
    return name;
}
