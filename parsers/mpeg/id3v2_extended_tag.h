// ID3v2ExtendedTag: every field of the model over an ID3v2 tag.
//
// Fields live in frames: TIT2 TPE1 TALB COMM TCON TDRC TRCK TCOM TBPM TPOS
// USLT APIC TOPE TCOP TENC WXXX, by the frame rules of Id3v2Frames (which
// the ID3v2 chunk of WAV and AIFF files follows too). Here the year is the
// first four characters of TDRC, a genre number names an ID3v1 genre, and a
// year or track whose leading number is 0 removes the frame. Text frames are
// written as UTF-8 (see normalizeForWriting). Wraps a TagLib tag it does not
// own. One thread at a time.
#ifndef LYPARSER_PARSERS_MPEG_ID3V2_EXTENDED_TAG_H
#define LYPARSER_PARSERS_MPEG_ID3V2_EXTENDED_TAG_H

#include <taglib/id3v2tag.h>

#include "parsers/mpeg/extended_tag.h"
#include "parsers/shared/id3v2_frames.h"

// The bytes of the picture file `fileName` names (its characters taken as
// bytes), when they hold an image of a kind PictureMimeType knows; false
// when the file cannot be read or holds none.
bool ReadPictureFile(const ExtendedTag::Text& fileName, TagLib::ByteVector* data);

class ID3v2ExtendedTag : public ExtendedTag {
public:
    // A URL of this many characters or more has no place in the tag.
    static constexpr unsigned int kMaxUrlLength = Id3v2Frames::kMaxUrlLength;

    // `tag` must not be null and must outlive this wrapper.
    explicit ID3v2ExtendedTag(TagLib::ID3v2::Tag* tag);

    Text title() const override;
    Text artist() const override;
    Text album() const override;
    Text comment() const override;
    Text genre() const override;
    Text year() const override;
    Text track() const override;
    Text composer() const override;
    Text bpm() const override;
    Text pictureInfo() const override;
    Text lyrics() const override;
    Text disc() const override;
    unsigned int copyPicture(unsigned char* destination) const override;
    Text pictureSize() const override;
    Text url() const;
    Text originalArtist() const;
    Text copyright() const;
    Text encodedBy() const;

    void setTitle(const Text& value) override;
    void setArtist(const Text& value) override;
    void setAlbum(const Text& value) override;
    void setComment(const Text& value) override;
    void setGenre(const Text& value) override;
    void setYear(const Text& value) override;
    void setTrack(const Text& value) override;
    void setComposer(const Text& value) override;
    void setBpm(const Text& value) override;
    bool setPicture(const Text& fileName) override;
    // Puts `picture`, an image ReadPictureFile gave, in place of the front
    // cover (or of a lone picture of type "other"), else adds it; every other
    // picture stays.
    void setPictureData(const TagLib::ByteVector& picture);
    void removePictures() override;
    void setLyrics(const Text& value) override;
    void removeLyrics() override;
    void setDisc(const Text& value) override;
    void setOriginalArtist(const Text& value) override;
    void setCopyright(const Text& value) override;
    void setUrl(const Text& value) override;
    void setEncodedBy(const Text& value) override;

    // True when the tag holds no frames.
    bool isEmpty() const override;

    // Readies the tag for rendering as 2.4: what an older tag needs
    // (UpgradeToVersion24), every text identification frame in UTF-8, every
    // comments and lyrics frame with a three-letter language ("XXX",
    // unknown, when it had none).
    void normalizeForWriting();

private:
    Text firstText(const char* id) const;
    // Empty text removes every frame of `id`; else the first gets the text or
    // a new UTF-8 text frame is added.
    void setText(const char* id, const Text& value);
    // Sets `id` to `value` when its leading number is above 0, else removes it.
    void setNumbered(const char* id, const Text& value);

    TagLib::ID3v2::Tag* tag_;
    Id3v2Frames frames_;
};

#endif  // LYPARSER_PARSERS_MPEG_ID3V2_EXTENDED_TAG_H
