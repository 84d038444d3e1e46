// The Vorbis comment names of COGGParser's field identifiers: which
// identifiers have one, which names are fields, and the name the comment
// field reads in a given list. Thread-safe.
#ifndef LYPARSER_PARSERS_OGG_OGG_FIELD_NAMES_H
#define LYPARSER_PARSERS_OGG_OGG_FIELD_NAMES_H

#include <string>

class VorbisCommentList;

// The name a field identifier reads and, when the file has none, writes:
// null for identifiers without one. The comment field's is "COMMENT"; it also
// reads "DESCRIPTION" (see OggReadName).
const char* OggFieldName(int fieldId);
// The field identifier a comment name stands for ("COMMENT" and
// "DESCRIPTION" both for the comment), or -1.
int OggFieldOfName(const std::string& name);
// The name field `fieldId` reads in `list`: for the comment, DESCRIPTION when
// the list holds one, else COMMENT; for other fields OggFieldName.
std::string OggReadName(const VorbisCommentList& list, int fieldId);

#endif  // LYPARSER_PARSERS_OGG_OGG_FIELD_NAMES_H
