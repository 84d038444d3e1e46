// FLACTag: the tags of a FLAC file as one: Xiph comment, ID3v2 tag and ID3v1
// tag, each possibly absent.
//
// Basic fields read from the first tag, in that order, whose value counts
// (year and track: a leading number above 0) and are written to every tag
// present; the extended fields live in the ID3v2 tag alone and never create
// it. Holds wrappers over TagLib tags owned by the file. One thread at a time.
#ifndef LYPARSER_PARSERS_MPEG_FLAC_TAG_H
#define LYPARSER_PARSERS_MPEG_FLAC_TAG_H

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/xiphcomment.h>

#include <memory>

#include "parsers/mpeg/extended_tag.h"

class FLACTag : public ExtendedTag {
public:
    // Each pointer may be null; the tags must outlive this object.
    FLACTag(TagLib::Ogg::XiphComment* xiph, TagLib::ID3v2::Tag* id3v2, TagLib::ID3v1::Tag* id3v1);
    ~FLACTag() override;

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
    void setLyrics(const Text& value) override;
    void setDisc(const Text& value) override;

    bool isEmpty() const override;

private:
    Text basic(Getter getter, bool numeric = false) const;
    void setBasic(Setter setter, const Text& value);
    Text extended(Getter getter) const;
    void setExtended(Setter setter, const Text& value);

    std::unique_ptr<ExtendedTag> xiph_;
    std::unique_ptr<ExtendedTag> id3v2_;
    std::unique_ptr<ExtendedTag> id3v1_;
};

#endif  // LYPARSER_PARSERS_MPEG_FLAC_TAG_H
