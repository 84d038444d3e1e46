// TagStoreKeys: the extra-data keys by which a host lists and changes every
// item and picture of a tag (LYPARSER_KEY_ITEMS, LYPARSER_KEY_ITEM...,
// LYPARSER_KEY_PICTURES, LYPARSER_KEY_PICTURE..., LYPARSER_KEY_SHOWN_PICTURE),
// answered over a TagStore for MP3's ID3v2 tag and the formats over TagLib
// alike, and the picture type the handle's picture fields answer.
//
// Listings give a line per entry, its parts separated by tabs; a backslash,
// tab, line feed or carriage return in a part is written as \\, \t, \n or
// \r, and a key given back in that form names the same item. One object per
// handle; one thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_TAG_STORE_KEYS_H
#define LYPARSER_PARSERS_SHARED_TAG_STORE_KEYS_H

#include <string>

#include "core/string_ex.h"
#include "parsers/shared/tag_store.h"

class TagStoreKeys {
public:
    // What a Set did.
    enum class Result { kRefused, kUnchanged, kItemChanged, kPictureChanged, kChosen };

    // The largest picture file taken: what every format can hold (a FLAC
    // metadata block counts its length in 24 bits).
    static constexpr int64_t kMaxPictureBytes = (16 << 20) - 64;

    // True for the keys this class answers.
    static bool Handles(const std::string& key);
    // True for the picture keys alone (LYPARSER_KEY_PICTURES,
    // LYPARSER_KEY_PICTURE..., LYPARSER_KEY_SHOWN_PICTURE).
    static bool HandlesPictures(const std::string& key);
    // True when setting `key` to `value` may add to the tag (a caller
    // without a tag makes one for it).
    static bool Adds(const std::string& key, const std::string& value);

    // The answer for `key`; `store` may be null (a file without the tag).
    StringEx Get(const TagStore* store, const std::string& key) const;
    // Makes the change `key` names in `store` (null: a file without the tag,
    // which takes only removals). *item gets the key of an item changed.
    Result Set(TagStore* store, const std::string& key, StringEx value, TagLib::String* item);

    // The picture the picture fields answer: the first of the chosen type,
    // else the front cover, else the first. False when there is none.
    bool ShownPicture(const TagStore* store, StoredPicture* picture) const;
    // True once a host chose a picture type.
    bool Chosen() const { return shownType_ >= 0; }

    // The bytes of the picture file at `path` and their MIME type; false when
    // it cannot be read, is too large or holds no image a player shows.
    static bool ReadPictureFile(const std::string& path, TagLib::ByteVector* data,
                                std::string* mimeType);

    // A picture's label, as field 33 reads it: "[" MIME type "]", the
    // description and a blank in front when it has one.
    static TagLib::String Label(const StoredPicture& picture);
    // The state a key's items are in (their number and text), to compare
    // before a save and after it.
    static std::string ItemState(const TagStore* store, const TagLib::String& key);
    // Every picture's type, MIME type and bytes, to compare the same way.
    static std::string PicturesState(const TagStore* store);

private:
    int shownType_ = -1;
};

#endif  // LYPARSER_PARSERS_SHARED_TAG_STORE_KEYS_H
