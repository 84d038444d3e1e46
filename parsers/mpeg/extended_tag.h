// ExtendedTag: one tag interface over every tag kind TagLib reads for the
// MPEG, FLAC and Musepack parser. Besides the basic fields it carries a second
// set of them, year and track as text, and the composer, BPM, disc, lyrics,
// picture, original artist, copyright, URL and encoded-by fields.
//
// Every getter a kind does not implement gives empty text; every setter it
// does not implement does nothing. Implementations wrap TagLib tags they do
// not own: a wrapper is valid only while its TagLib tag is. One thread at a
// time.
#ifndef LYPARSER_PARSERS_MPEG_EXTENDED_TAG_H
#define LYPARSER_PARSERS_MPEG_EXTENDED_TAG_H

#include <taglib/tstring.h>

#include <initializer_list>

class ExtendedTag {
public:
    using Text = TagLib::String;
    using Getter = Text (ExtendedTag::*)() const;
    using Setter = void (ExtendedTag::*)(const Text&);

    virtual ~ExtendedTag();

    virtual Text title() const;
    virtual Text secondaryTitle() const;
    virtual Text artist() const;
    virtual Text secondaryArtist() const;
    virtual Text album() const;
    virtual Text secondaryAlbum() const;
    virtual Text comment() const;
    virtual Text secondaryComment() const;
    virtual Text genre() const;
    virtual Text secondaryGenre() const;
    virtual Text year() const;
    virtual Text secondaryYear() const;
    virtual Text track() const;
    virtual Text secondaryTrack() const;
    virtual Text composer() const;
    virtual Text bpm() const;
    // The picture shown: the front cover, else the first picture.
    virtual Text pictureInfo() const;
    virtual Text lyrics() const;
    virtual Text disc() const;
    // Copies the shown picture's bytes to `destination`, which must hold
    // pictureSize() bytes; returns the bytes copied (0 without a picture).
    virtual unsigned int copyPicture(unsigned char* destination) const;
    virtual Text pictureSize() const;

    virtual void setTitle(const Text& value);
    virtual void setSecondaryTitle(const Text& value);
    virtual void setArtist(const Text& value);
    virtual void setSecondaryArtist(const Text& value);
    virtual void setAlbum(const Text& value);
    virtual void setSecondaryAlbum(const Text& value);
    virtual void setComment(const Text& value);
    virtual void setSecondaryComment(const Text& value);
    virtual void setGenre(const Text& value);
    virtual void setSecondaryGenre(const Text& value);
    virtual void setYear(const Text& value);
    virtual void setSecondaryYear(const Text& value);
    virtual void setTrack(const Text& value);
    virtual void setSecondaryTrack(const Text& value);
    virtual void setComposer(const Text& value);
    virtual void setBpm(const Text& value);
    // `fileName` names a picture file, which becomes the front cover. False,
    // and nothing changes, when the file cannot be read or holds no image of
    // a known kind (or the tag kind keeps no pictures).
    virtual bool setPicture(const Text& fileName);
    virtual void removePictures();
    virtual void setLyrics(const Text& value);
    virtual void removeLyrics();
    virtual void setDisc(const Text& value);
    virtual void setOriginalArtist(const Text& value);
    virtual void setCopyright(const Text& value);
    virtual void setUrl(const Text& value);
    virtual void setEncodedBy(const Text& value);

    virtual bool isEmpty() const = 0;

protected:
    // True when all seven basic getters give empty text.
    bool basicFieldsEmpty() const;
};

// The first value of `getter` among `tags` (null entries skipped) that counts:
// not empty, and for `numeric` values a leading number above 0. Empty when
// none counts.
TagLib::String FirstCounting(std::initializer_list<const ExtendedTag*> tags,
                             ExtendedTag::Getter getter, bool numeric);

#endif  // LYPARSER_PARSERS_MPEG_EXTENDED_TAG_H
