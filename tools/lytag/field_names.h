// lytag's field names, one vocabulary for every format: where each name
// lives in an MP3 (ID3v1 and ID3v2 field ids), an Ogg Vorbis file (a field id
// or a comment name) and a Windows Media file (a field id or an attribute
// name). "title" means what a player shows; "title:v1" and "title:v2" reach
// one tag of an MP3. Thread-safe (constant tables).
#ifndef LYPARSER_TOOLS_LYTAG_FIELD_NAMES_H
#define LYPARSER_TOOLS_LYTAG_FIELD_NAMES_H

#include <string>
#include <vector>

class IBaseTag;

// Where a field lives in one format: a module field id, a comment or
// attribute name, or nowhere (id -1 and no name).
struct FieldPlace {
    int id = -1;
    const char* name = nullptr;
    bool Exists() const { return id >= 0 || name; }
};

struct FieldInfo {
    const char* name;
    int id3v1;  // MP3: ID3v1 field id, or -1
    int id3v2;  // MP3: ID3v2 field id, or -1
    FieldPlace ogg;
    FieldPlace wma;
    bool readOnly;
};

// Every field, in the order show lists them.
const std::vector<FieldInfo>& AllFields();

// Which tag of an MP3 a field name asks for.
enum class TagChoice { kShown, kId3v1, kId3v2 };

struct FieldName {
    const FieldInfo* info = nullptr;
    TagChoice tag = TagChoice::kShown;
};

// Parses "title", "title:v1" or "title:v2", in any letter case; false with
// *error set when the name is unknown or names a tag the field does not have.
bool ParseFieldName(const std::string& text, FieldName* field, std::string* error);

// The value of `field` in the file open as `handle` (of file type `type`), as
// show lists it: on an MP3 the shown name reads the ID3v2 field, or the
// ID3v1 one when that is empty; "" where the format has no such field.
std::wstring ReadField(IBaseTag* handle, int type, const FieldName& field);

// True for the file types whose one tag answers every field by its ID3v2 id
// (FLAC, MP4, WAV, AIFF, WavPack, Musepack, Monkey's Audio).
bool HoldsOneTag(int type);

// The names that can be set, comma-separated and indented in lines, for help texts.
std::string FieldNameList();

// The module's own Vorbis comment name for `name` (any letter case), as the
// field info that reads it (COMMENT and DESCRIPTION are the comment); null
// for any other name.
const FieldInfo* VorbisFieldOfComment(const std::string& name);

#endif  // LYPARSER_TOOLS_LYTAG_FIELD_NAMES_H
