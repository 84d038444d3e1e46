// ID3v1Block: an MP3 file's ID3v1 tag as its 128 bytes, read and written by
// this module alone. TagLib's ID3v1 text handler is process-wide and belongs
// to the host (a player may set one for its own code page): it is neither
// used nor changed here.
//
// Text is Latin-1, read up to the first zero byte with trailing blanks kept;
// a character Latin-1 cannot hold is written as "?". A field that is not set
// keeps its bytes. The comment fills all 30 bytes of its field (ID3v1.0)
// until a track number is written, which takes the last two (ID3v1.1). The
// genre list is the 148-name one. One thread at a time.
#ifndef LYPARSER_PARSERS_MPEG_ID3V1_BLOCK_H
#define LYPARSER_PARSERS_MPEG_ID3V1_BLOCK_H

#include <taglib/tbytevector.h>

#include "parsers/mpeg/extended_tag.h"

class ID3v1Block : public ExtendedTag {
public:
    static constexpr unsigned int kSize = 128;

    // An empty tag: no text, no track, genre 255 (none).
    ID3v1Block();
    // `data`: the kSize bytes of a tag, "TAG" first.
    explicit ID3v1Block(const TagLib::ByteVector& data);

    // The tag's bytes as they go to the end of the file.
    const TagLib::ByteVector& data() const { return data_; }

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
    // True when the last two bytes of the comment field hold a track number.
    bool holdsTrack() const;
    Text field(unsigned int offset, unsigned int size) const;
    void setField(unsigned int offset, unsigned int size, const Text& value);

    TagLib::ByteVector data_;
};

#endif  // LYPARSER_PARSERS_MPEG_ID3V1_BLOCK_H
