// The ten kinds of one-line description that the tag parsers compose from
// their fields, shared by every parser that answers them.
//
// A parser hands in a reader for its fields (its own GetData) and its file
// title; kind 5 fills a template whose tokens are the player's texts, with
// values the parser chooses. Stateless and thread-safe, as long as the field
// reader is.
#ifndef LYPARSER_CORE_DESCRIPTION_TEXT_H
#define LYPARSER_CORE_DESCRIPTION_TEXT_H

#include <functional>
#include <string>

#include "core/string_ex.h"

// Reads one field by identifier, as GetData does (or with a parser's own
// preference between two tags): empty text when missing.
using DescriptionFieldReader = std::function<StringEx(int fieldId)>;

// A reader for description texts over `field`: each of the seven basic
// fields trimmed, read from the second tag (basic id + 7) first when
// `preferSecond` is nonzero and from the basic one first otherwise, the other
// tag filling in when the first is empty.
DescriptionFieldReader PreferredFieldReader(DescriptionFieldReader field, int preferSecond);

// Kinds 0 to 4 and 6 to 9: titles, artists, albums, tracks and the file title
// joined with " - ", leaving out missing pieces; the title falls back to the
// file title where the kind says so. Wide text when any joined piece is wide.
// Kind 5 and every other kind give empty text: kind 5 is FillDescriptionTemplate.
StringEx ComposeDescription(int kind, const DescriptionFieldReader& field,
                            const StringEx& fileTitle);

// The values of the template tokens, as narrow text.
struct DescriptionTemplateValues {
    std::string path;     // LYTEXT_TOKEN_FILENAME
    std::string folder;   // LYTEXT_TOKEN_FOLDER
    std::string title;    // LYTEXT_TOKEN_TITLE
    std::string artist;   // LYTEXT_TOKEN_ARTIST
    std::string album;    // LYTEXT_TOKEN_ALBUM
    std::string date;     // LYTEXT_TOKEN_YEAR
    std::string comment;  // LYTEXT_TOKEN_COMMENT
    std::string genre;    // LYTEXT_TOKEN_GENRE
    std::string track;    // LYTEXT_TOKEN_TRACK
};

// Which occurrences of a token the template fill replaces.
enum class TemplateMatches { kFirst, kEvery };

// Replaces "%%" in `format` with "%", then each player token, in a fixed
// order, with its value; a token whose value is empty is removed.
// *noTokenFilled is 1 unless some replacement put in non-empty text (the
// "%%" step counts).
std::string FillDescriptionTemplate(const std::string& format,
                                    const DescriptionTemplateValues& values, int* noTokenFilled,
                                    TemplateMatches matches = TemplateMatches::kFirst);

// The seven basic fields read through `field` as template values; file and
// folder are left empty.
DescriptionTemplateValues TemplateFieldValues(const DescriptionFieldReader& field);

// The values most parsers give the template: `path` for the file token, no
// folder, the title with the file-title fallback, and the fields read
// through `field`.
DescriptionTemplateValues StandardTemplateValues(const DescriptionFieldReader& field, StringEx path,
                                                 StringEx fileTitle);

#endif  // LYPARSER_CORE_DESCRIPTION_TEXT_H
