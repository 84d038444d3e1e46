// TagStore: one tag of a file seen by TagLib property name (TITLE, ARTIST,
// DATE, COMMENT, TRACKNUMBER, COMPOSER, DISCNUMBER, ...), with the picture a
// player shows. Each tag kind (Vorbis comments, MP4 items, ID3v2 frames, APE
// items, ID3v1 fields) implements it over its own keys, so that the parser
// over the TagLib-backed formats maps field ids to names once.
//
// Hosts that list everything (every frame, comment, atom or item, every
// picture by type) see each tag's items by their keys (TagItem) and its
// pictures with their types.
//
// Changes stay in memory until the format writes the file. One thread at a
// time.
#ifndef LYPARSER_PARSERS_SHARED_TAG_STORE_H
#define LYPARSER_PARSERS_SHARED_TAG_STORE_H

#include <taglib/tbytevector.h>
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

#include <string>
#include <vector>

// A picture as a tag holds it.
struct StoredPicture {
    static constexpr int kFrontCover = 3;  // the type a player shows first

    TagLib::ByteVector data;
    TagLib::String mimeType;
    TagLib::String description;
    int type = -1;  // ID3v2 and FLAC picture type (3: front cover); -1 where it has none
};

// One entry of a tag as the tag holds it.
struct TagItem {
    // What names it: a frame id with its description and language
    // ("COMM:note:eng", "TXXX:MOOD"), a comment name, an atom name, an item key.
    TagLib::String key;
    TagLib::String text;     // its text, several values joined with "; "; empty when binary
    bool binary = false;     // data that is not text
    unsigned int bytes = 0;  // binary: the size of its data
};

class TagStore {
public:
    virtual ~TagStore() = default;

    // Every value the tag holds under `property`, in file order; empty when
    // it holds none or has no place for the property.
    virtual TagLib::StringList Values(const std::string& property) const = 0;
    // Replaces every value of `property` with `value`, at the place of the
    // first; an empty value removes them. False, changing nothing, when the
    // tag has no place for the property or cannot hold the value.
    virtual bool SetValue(const std::string& property, const TagLib::String& value) = 0;

    // The picture a player shows: the front cover, else the first picture.
    // False when the tag holds none.
    virtual bool Picture(StoredPicture* picture) const {
        (void)picture;
        return false;
    }
    // Replaces that picture (or adds the first) with a front cover of `data`,
    // whose type `mimeType` names; the other pictures stay. False when the
    // tag holds no pictures.
    virtual bool SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) {
        (void)data;
        (void)mimeType;
        return false;
    }
    // Removes every picture; false when there was none.
    virtual bool RemovePictures() { return false; }

    // Every item but the pictures, in tag order; empty where the tag lists none.
    virtual std::vector<TagItem> Items() const { return {}; }
    // Replaces every item of `key` with one text item of `value` (made when
    // there is none); an empty value removes every item of `key`. False,
    // changing nothing, when the tag cannot hold `value` as that item (a
    // binary item takes only the empty value).
    virtual bool SetItem(const TagLib::String& key, const TagLib::String& value) {
        (void)key;
        (void)value;
        return false;
    }
    // True when `a` and `b` name the same item: by default they are equal.
    virtual bool SameKey(const TagLib::String& a, const TagLib::String& b) const { return a == b; }

    // Every picture, in tag order.
    virtual std::vector<StoredPicture> Pictures() const { return {}; }
    // The first picture of `type`; false when there is none.
    virtual bool PictureOfType(int type, StoredPicture* picture) const;
    // Puts a picture of `type` made of `data` (whose type `mimeType` names)
    // in the place of the first picture of that type, else adds it; every
    // other picture stays. False when the tag keeps no pictures of `type`.
    virtual bool SetPictureOfType(int type, const TagLib::ByteVector& data,
                                  const std::string& mimeType) {
        (void)type;
        (void)data;
        (void)mimeType;
        return false;
    }
    // Removes every picture of `type`; false when there was none.
    virtual bool RemovePicturesOfType(int type) {
        (void)type;
        return false;
    }

    // The text of every item of `key`, in tag order (binary items give none).
    TagLib::StringList ItemValues(const TagLib::String& key) const;
    // True when setting `key` to `value` would change nothing: the items of
    // `key` are text and read `value` joined with "; ", or, for an empty
    // value, there are none.
    bool ItemReads(const TagLib::String& key, const TagLib::String& value) const;
};

#endif  // LYPARSER_PARSERS_SHARED_TAG_STORE_H
