// What lytag set does to one open file: the user's requests turned into the
// module calls that make exactly those changes, the refusals where the
// module cannot make one, and a line per field that will change (including
// the fields a save of an MP3 copies from one tag into the other). Planning
// reads the handle only; nothing is recorded or written.
#ifndef LYPARSER_TOOLS_LYTAG_SET_PLAN_H
#define LYPARSER_TOOLS_LYTAG_SET_PLAN_H

#include <string>
#include <vector>

#include "tools/lytag/field_names.h"

class IBaseTag;

// One change as the user asked for it.
struct SetRequest {
    enum Kind { kField, kComment, kAttribute, kItem, kTag, kPicture, kRemovePicture, kRemove };
    Kind kind = kField;
    FieldName field;  // kField
    // kComment, kAttribute, kItem, kRemove: the entry's name (an item's key);
    // kTag: "ID3v1" or "ID3v2"
    std::string name;
    std::wstring text;    // the value as characters; kTag: L"Y" or L"N"
    std::string path;     // kPicture: the image file
    long long bytes = 0;  // kPicture: its size
    int pictureType = 3;  // kPicture, kRemovePicture: the picture type; -1: every picture
};

// One module call that records a change.
struct ModuleCall {
    enum Kind { kSetWide, kSetNarrow, kSetExData, kDeletePicture };
    Kind kind = kSetWide;
    int id = -1;
    std::string name;    // kSetExData
    std::wstring wide;   // kSetWide
    std::string narrow;  // kSetNarrow, kSetExData: in the locale's encoding
    std::string label;   // the field as lytag names it
    bool check = true;   // read the value back after the save
};

// A picture the saved file must hold: of `type`, `bytes` long (0: none).
struct PictureCheck {
    int type;
    long long bytes;
};

struct SetPlan {
    std::vector<std::string> refusals;
    std::vector<std::string> notes;  // said on stderr; nothing refused (a removal of nothing)
    std::vector<std::string> lines;  // "title:v2: \"Old\" -> \"New\"", in the locale's encoding
    std::vector<int> keepTags;       // FIELD_HAS_ID3V1/2 to set to "Y" first (MP3)
    std::vector<int> stripTags;      // FIELD_HAS_ID3V1/2 to set to "N": removed at once (MP3)
    std::vector<ModuleCall> calls;
    long long pictureBytes = -1;         // the size of the picture field 34 should end with, or -1
    std::vector<PictureCheck> pictures;  // pictures by type to check after the save
    bool save = false;                   // ApplyFile is needed
};

// Plans `requests` for the file open as `handle` (of file type `type`).
SetPlan PlanSet(IBaseTag* handle, int type, const std::vector<SetRequest>& requests);

// Makes the module calls that record `plan`'s changes, after setting the tags
// to keep; the tags to strip are left to the caller. "" when every change was
// taken, else which one was not.
std::string RecordPlan(IBaseTag* handle, const SetPlan& plan);

// `text` for a change line: quoted, control characters escaped, "(none)" when empty.
std::string QuotedValue(const std::wstring& text);

#endif  // LYPARSER_TOOLS_LYTAG_SET_PLAN_H
