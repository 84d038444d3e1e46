// MPEGTag: an MPEG file's ID3v1 and ID3v2 tags as one ExtendedTag.
//
// The basic fields are the ID3v1 tag's, the secondary ones and the extended
// fields (composer to picture size) the ID3v2 tag's; each setter creates its
// tag when absent, except the two removals. An APE tag is never consulted.
// The file must outlive this object. One thread at a time.
#ifndef LYPARSER_PARSERS_MPEG_MPEG_TAG_H
#define LYPARSER_PARSERS_MPEG_MPEG_TAG_H

#include "parsers/mpeg/extended_tag.h"
#include "parsers/mpeg/mpeg_file.h"

class MPEGTag : public ExtendedTag {
public:
    explicit MPEGTag(CMPEGFile* file);

    // The file's present tags, or null; never created here.
    TagLib::ID3v2::Tag* ID3v2Tag() const;
    ID3v1Block* ID3v1Tag() const;

    Text title() const override;
    Text secondaryTitle() const override;
    Text artist() const override;
    Text secondaryArtist() const override;
    Text album() const override;
    Text secondaryAlbum() const override;
    Text comment() const override;
    Text secondaryComment() const override;
    Text genre() const override;
    Text secondaryGenre() const override;
    Text year() const override;
    Text secondaryYear() const override;
    Text track() const override;
    Text secondaryTrack() const override;
    Text composer() const override;
    Text bpm() const override;
    Text pictureInfo() const override;
    Text lyrics() const override;
    Text disc() const override;
    unsigned int copyPicture(unsigned char* destination) const override;
    Text pictureSize() const override;

    void setTitle(const Text& value) override;
    void setSecondaryTitle(const Text& value) override;
    void setArtist(const Text& value) override;
    void setSecondaryArtist(const Text& value) override;
    void setAlbum(const Text& value) override;
    void setSecondaryAlbum(const Text& value) override;
    void setComment(const Text& value) override;
    void setSecondaryComment(const Text& value) override;
    void setGenre(const Text& value) override;
    void setSecondaryGenre(const Text& value) override;
    void setYear(const Text& value) override;
    void setSecondaryYear(const Text& value) override;
    void setTrack(const Text& value) override;
    void setSecondaryTrack(const Text& value) override;
    void setComposer(const Text& value) override;
    void setBpm(const Text& value) override;
    bool setPicture(const Text& fileName) override;
    void removePictures() override;
    void setLyrics(const Text& value) override;
    void removeLyrics() override;
    void setDisc(const Text& value) override;

    // True when neither tag is present or both are empty.
    bool isEmpty() const override;

private:
    Text first(Getter getter) const;
    Text second(Getter getter, bool numeric = false) const;
    void setFirst(Setter setter, const Text& value);
    void setSecond(Setter setter, const Text& value);

    CMPEGFile* file_;
};

#endif  // LYPARSER_PARSERS_MPEG_MPEG_TAG_H
