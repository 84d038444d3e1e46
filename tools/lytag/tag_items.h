// Everything a file's tag holds beyond lytag's fields, through the module's
// exports: every item (ID3v2 frame, Vorbis comment, MP4 atom, APE item, WMA
// attribute) and every picture with its type. Which way a file type is read
// is a row of FormatTraits; the picture types have the names taggers use.
// Thread-safe (constant tables; a handle is used by one thread).
#ifndef LYPARSER_TOOLS_LYTAG_TAG_ITEMS_H
#define LYPARSER_TOOLS_LYTAG_TAG_ITEMS_H

#include <string>
#include <vector>

class IBaseTag;

// How lytag reaches what a file type holds beyond the fields.
struct FormatTraits {
    enum Items {
        kNoItems,
        kItemKeys,        // the module's item keys (LYPARSER_KEY_ITEMS, LYPARSER_KEY_ITEM...)
        kCommentNames,    // Vorbis comments by name (GetExData with the name)
        kAttributeNames,  // Windows Media attributes by name
    };
    Items items = kNoItems;
    bool vorbisComments = false;  // --comment names a Vorbis comment
    bool pictures = false;        // pictures by type, through the picture keys
};

// The row of file type `type`; a type without one reaches nothing beyond its fields.
FormatTraits TraitsOf(int type);

struct ListedItem {
    std::string key;    // as the module names it, in the locale's encoding (escaped as listed)
    std::wstring text;  // several values joined with "; "; empty when binary
    bool binary = false;
    long long bytes = 0;  // binary: the size of its data
};

struct ListedPicture {
    int type = -1;  // -1: the format gives its pictures no type (MP4)
    std::string mimeType;
    long long bytes = 0;
    std::wstring description;
};

// True for a comment of file type `type` that lytag lists as a picture, not
// as text: an Opus file's METADATA_BLOCK_PICTURE comments.
bool IsPictureComment(int type, const std::string& name);

// Every item of the file open as `handle` (of file type `type`), in tag order.
std::vector<ListedItem> ListItems(IBaseTag* handle, int type);
// Every picture, in tag order.
std::vector<ListedPicture> ListPictures(IBaseTag* handle, int type);

// The highest picture type (20, "publisher logotype").
constexpr int kLastPictureType = 20;
constexpr int kFrontCover = 3;
// The name lytag gives picture type `type` ("front", "back", "artist"...);
// "" for a type without one.
const char* PictureTypeName(int type);
// The type a name (any letter case) or number 0-20 gives; -1 for none.
int ParsePictureType(const std::string& text);
// Every name, comma-separated and indented in lines, for help texts.
std::string PictureTypeList();

#endif  // LYPARSER_TOOLS_LYTAG_TAG_ITEMS_H
