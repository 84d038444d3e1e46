// The Vorbis comments of one file as COGGParser keeps them: one list in file
// order, the rules for names (which identifiers have one, which names are
// fields, which may be written) and the edits a field change makes. Names
// compare without regard to the case of ASCII letters. Plain values;
// thread-safe.
#ifndef LYPARSER_PARSERS_OGG_OGG_COMMENT_H
#define LYPARSER_PARSERS_OGG_OGG_COMMENT_H

#include <string>
#include <utility>
#include <vector>

#include "core/string_ex.h"

struct OggComment {
    OggComment() = default;
    // A comment made here, not read from the file.
    OggComment(std::string commentName, StringEx text)
        : name(std::move(commentName)), value(std::move(text)) {}

    std::string name;  // the bytes before the first "="; "" for a text without "="
    StringEx value;
    // The whole comment as read from the file, kept while the value is not
    // replaced, so that a save writes it back byte for byte (UTF-8 or not,
    // with or without "=").
    std::string fileText;
    bool fromFile = false;
};
using OggCommentList = std::vector<OggComment>;

// The name a field identifier reads and, when the file has none, writes:
// null for identifiers without one. The comment field's is "COMMENT"; it also
// reads "DESCRIPTION" (see OggReadName).
const char* OggFieldName(int fieldId);
// The field identifier a comment name stands for ("COMMENT" and
// "DESCRIPTION" both for the comment), or -1.
int OggFieldOfName(const std::string& name);
// True for a name a comment may be written with: 1 or more ASCII characters
// from 0x20 to 0x7D, "=" excepted.
bool IsValidOggName(const std::string& name);
// Compares two names without regard to the case of ASCII letters.
bool SameOggName(const std::string& a, const std::string& b);

// The name field `fieldId` reads in `list`: for the comment, DESCRIPTION when
// the list holds one, else COMMENT; for other fields OggFieldName.
std::string OggReadName(const OggCommentList& list, int fieldId);
// Every value named `name`, in list order, joined with "; " (a single value
// as it is held); empty narrow text when there is none.
StringEx JoinedOggValues(const OggCommentList& list, const std::string& name);
// Replaces every entry named `name` with one holding `value`, at the place of
// the first (whose spelling of the name is kept); appends (name, value) when
// there is none.
void ReplaceOggValues(OggCommentList& list, const std::string& name, const StringEx& value);
// Removes every entry named `name`; true when there was one.
bool RemoveOggValues(OggCommentList& list, const std::string& name);

// Splits a comment text at its first "=": the value is decoded from UTF-8,
// and the whole text is kept. Without "=", `found` is false, the name is ""
// and the whole text is the value.
OggComment SplitOggComment(const std::string& text, bool* found);

// The value as it is written to the file: UTF-8 of its wide form (a narrow
// value's wide form is its code-page conversion, made when first asked).
std::string OggValueUtf8(StringEx value);

// The comment text a save writes: the text read from the file when the entry
// was not replaced, else the name, "=" and the value's UTF-8.
std::string OggCommentText(const OggComment& entry);

#endif  // LYPARSER_PARSERS_OGG_OGG_COMMENT_H
