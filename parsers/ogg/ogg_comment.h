// One Vorbis comment as COGGParser keeps it, and the rules for its names:
// which identifiers have a name, which names are known fields, and how a
// comment text splits into name and value. Plain values; thread-safe.
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

    std::string name;  // spelled as found in the file, bytes unchanged
    StringEx value;
    // The value's bytes as read from the file, kept while the value is not
    // replaced, so that a save writes them back unchanged (UTF-8 or not).
    std::string fileValue;
    bool fromFile = false;

    // Replaces the value; it is then written as the UTF-8 of its text.
    void Replace(const StringEx& text) {
        value = text;
        fileValue.clear();
        fromFile = false;
    }
};
using OggCommentList = std::vector<OggComment>;

// The comment name of a field identifier, or null when the identifier has none.
const char* OggFieldName(int fieldId);
// True when `name` is one of the names that count as known fields.
bool IsKnownOggField(const std::string& name);
// Compares two names without regard to the case of ASCII letters.
bool SameOggName(const std::string& a, const std::string& b);

// The first entry named `name`, or null.
OggComment* FindOggComment(OggCommentList& list, const std::string& name);

// Splits a comment text at its first "=": the value is decoded from UTF-8,
// and its bytes are kept. Without "=", `found` is false and the whole text
// is the value.
OggComment SplitOggComment(const std::string& text, bool* found);

// The value as it is written to the file: UTF-8 of its wide form (a narrow
// value's wide form is its code-page conversion, made when first asked).
std::string OggValueUtf8(StringEx value);

// The comment text a save writes: the name, "=", and the value's bytes from
// the file when it was not replaced, else its UTF-8.
std::string OggCommentText(const OggComment& entry);

#endif  // LYPARSER_PARSERS_OGG_OGG_COMMENT_H
