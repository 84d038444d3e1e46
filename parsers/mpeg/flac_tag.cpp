#include "parsers/mpeg/flac_tag.h"

#include "parsers/mpeg/id3v1_extended_tag.h"
#include "parsers/mpeg/id3v2_extended_tag.h"
#include "parsers/mpeg/xiph_extended_tag.h"

using Text = ExtendedTag::Text;

FLACTag::FLACTag(TagLib::Ogg::XiphComment* xiph, TagLib::ID3v2::Tag* id3v2,
                 TagLib::ID3v1::Tag* id3v1) {
    if (xiph) xiph_ = std::make_unique<XiphExtendedTag>(xiph);
    if (id3v2) id3v2_ = std::make_unique<ID3v2ExtendedTag>(id3v2);
    if (id3v1) id3v1_ = std::make_unique<ID3v1ExtendedTag>(id3v1);
}

FLACTag::~FLACTag() = default;

Text FLACTag::basic(Getter getter, bool numeric) const {
    return FirstCounting({xiph_.get(), id3v2_.get(), id3v1_.get()}, getter, numeric);
}

void FLACTag::setBasic(Setter setter, const Text& value) {
    for (ExtendedTag* tag : {xiph_.get(), id3v2_.get(), id3v1_.get()}) {
        if (tag) (tag->*setter)(value);
    }
}

Text FLACTag::extended(Getter getter) const { return FirstCounting({id3v2_.get()}, getter, false); }

void FLACTag::setExtended(Setter setter, const Text& value) {
    if (id3v2_) (id3v2_.get()->*setter)(value);
}

Text FLACTag::title() const { return basic(&ExtendedTag::title); }
Text FLACTag::artist() const { return basic(&ExtendedTag::artist); }
Text FLACTag::album() const { return basic(&ExtendedTag::album); }
Text FLACTag::comment() const { return basic(&ExtendedTag::comment); }
Text FLACTag::genre() const { return basic(&ExtendedTag::genre); }
Text FLACTag::year() const { return basic(&ExtendedTag::year, true); }
Text FLACTag::track() const { return basic(&ExtendedTag::track, true); }
Text FLACTag::composer() const { return extended(&ExtendedTag::composer); }
Text FLACTag::bpm() const { return extended(&ExtendedTag::bpm); }
Text FLACTag::pictureInfo() const { return extended(&ExtendedTag::pictureInfo); }
Text FLACTag::lyrics() const { return extended(&ExtendedTag::lyrics); }
Text FLACTag::disc() const { return extended(&ExtendedTag::disc); }
Text FLACTag::pictureSize() const { return extended(&ExtendedTag::pictureSize); }

unsigned int FLACTag::copyPicture(unsigned char* destination) const {
    if (pictureInfo().isEmpty()) return 0;
    return id3v2_->copyPicture(destination);
}

void FLACTag::setTitle(const Text& value) { setBasic(&ExtendedTag::setTitle, value); }
void FLACTag::setArtist(const Text& value) { setBasic(&ExtendedTag::setArtist, value); }
void FLACTag::setAlbum(const Text& value) { setBasic(&ExtendedTag::setAlbum, value); }
void FLACTag::setComment(const Text& value) { setBasic(&ExtendedTag::setComment, value); }
void FLACTag::setGenre(const Text& value) { setBasic(&ExtendedTag::setGenre, value); }
void FLACTag::setYear(const Text& value) { setBasic(&ExtendedTag::setYear, value); }
void FLACTag::setTrack(const Text& value) { setBasic(&ExtendedTag::setTrack, value); }
void FLACTag::setComposer(const Text& value) { setExtended(&ExtendedTag::setComposer, value); }
void FLACTag::setBpm(const Text& value) { setExtended(&ExtendedTag::setBpm, value); }
bool FLACTag::setPicture(const Text& fileName) { return id3v2_ && id3v2_->setPicture(fileName); }
void FLACTag::setLyrics(const Text& value) { setExtended(&ExtendedTag::setLyrics, value); }
void FLACTag::setDisc(const Text& value) { setExtended(&ExtendedTag::setDisc, value); }

bool FLACTag::isEmpty() const { return basicFieldsEmpty(); }
