// ID3v1ExtendedTag: the basic fields of a TagLib ID3v1 tag, for the tags of
// FLAC and Musepack files (an MP3's ID3v1 tag is an ID3v1Block).
//
// Text is what TagLib's process-wide ID3v1 text handler gives, which this
// module never replaces; the year is the four-byte field as text; the genre
// list is the 148-name one. Wraps a TagLib tag it does not own. One thread at
// a time.
#ifndef LYPARSER_PARSERS_MPEG_ID3V1_EXTENDED_TAG_H
#define LYPARSER_PARSERS_MPEG_ID3V1_EXTENDED_TAG_H

#include <taglib/id3v1tag.h>

#include "parsers/mpeg/extended_tag.h"

class ID3v1ExtendedTag : public ExtendedTag {
public:
    // `tag` must not be null and must outlive this wrapper.
    explicit ID3v1ExtendedTag(TagLib::ID3v1::Tag* tag);

    Text title() const override;
    Text artist() const override;
    Text album() const override;
    Text comment() const override;
    Text genre() const override;
    Text year() const override;
    Text track() const override;

    void setTitle(const Text& value) override;
    void setArtist(const Text& value) override;
    void setAlbum(const Text& value) override;
    void setComment(const Text& value) override;
    void setGenre(const Text& value) override;
    void setYear(const Text& value) override;
    void setTrack(const Text& value) override;

    bool isEmpty() const override;

private:
    TagLib::ID3v1::Tag* tag_;
};

#endif  // LYPARSER_PARSERS_MPEG_ID3V1_EXTENDED_TAG_H
