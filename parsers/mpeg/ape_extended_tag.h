// APEExtendedTag: the basic fields of an APE tag (items TITLE ARTIST ALBUM
// COMMENT GENRE YEAR TRACK). Wraps a TagLib tag it does not own.
// One thread at a time.
#ifndef LYPARSER_PARSERS_MPEG_APE_EXTENDED_TAG_H
#define LYPARSER_PARSERS_MPEG_APE_EXTENDED_TAG_H

#include <taglib/apetag.h>

#include "parsers/mpeg/extended_tag.h"

class APEExtendedTag : public ExtendedTag {
public:
    // `tag` must not be null and must outlive this wrapper.
    explicit APEExtendedTag(TagLib::APE::Tag* tag);

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
    // Set when the leading number is above 0, else the item is removed.
    void setYear(const Text& value) override;
    void setTrack(const Text& value) override;

    bool isEmpty() const override;

private:
    Text item(const char* key) const;

    TagLib::APE::Tag* tag_;
};

#endif  // LYPARSER_PARSERS_MPEG_APE_EXTENDED_TAG_H
