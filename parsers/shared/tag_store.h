// TagStore: one tag of a file seen by TagLib property name (TITLE, ARTIST,
// DATE, COMMENT, TRACKNUMBER, COMPOSER, DISCNUMBER, ...), with the picture a
// player shows. Each tag kind (Vorbis comments, MP4 items, ID3v2 frames, APE
// items, ID3v1 fields) implements it over its own keys, so that the parser
// over the TagLib-backed formats maps field ids to names once.
//
// Changes stay in memory until the format writes the file. One thread at a
// time.
#ifndef LYPARSER_PARSERS_SHARED_TAG_STORE_H
#define LYPARSER_PARSERS_SHARED_TAG_STORE_H

#include <taglib/tbytevector.h>
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

#include <string>

// A picture as a tag holds it.
struct StoredPicture {
    TagLib::ByteVector data;
    TagLib::String mimeType;
    TagLib::String description;
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
};

#endif  // LYPARSER_PARSERS_SHARED_TAG_STORE_H
