// XiphExtendedTag: the basic fields of a Xiph comment (TITLE ARTIST ALBUM
// DESCRIPTION/COMMENT GENRE DATE TRACKNUMBER). Wraps a TagLib comment it does
// not own. One thread at a time.
#ifndef LYPARSER_PARSERS_MPEG_XIPH_EXTENDED_TAG_H
#define LYPARSER_PARSERS_MPEG_XIPH_EXTENDED_TAG_H

#include <taglib/xiphcomment.h>

#include "parsers/mpeg/extended_tag.h"

class XiphExtendedTag : public ExtendedTag {
public:
    // `comment` must not be null and must outlive this wrapper.
    explicit XiphExtendedTag(TagLib::Ogg::XiphComment* comment);

    Text title() const override;
    Text artist() const override;
    Text album() const override;
    // DESCRIPTION, else COMMENT.
    Text comment() const override;
    Text genre() const override;
    Text year() const override;
    Text track() const override;

    void setTitle(const Text& value) override;
    void setArtist(const Text& value) override;
    void setAlbum(const Text& value) override;
    // Writes DESCRIPTION.
    void setComment(const Text& value) override;
    void setGenre(const Text& value) override;
    // Set when the leading number is not 0, else the field is removed.
    void setYear(const Text& value) override;
    void setTrack(const Text& value) override;

    // True when the comment holds no fields.
    bool isEmpty() const override;

private:
    Text field(const char* name) const;
    void setField(const char* name, const Text& value);

    TagLib::Ogg::XiphComment* comment_;
};

#endif  // LYPARSER_PARSERS_MPEG_XIPH_EXTENDED_TAG_H
