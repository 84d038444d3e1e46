#include "parsers/mpeg/mpeg_tag.h"

#include "parsers/mpeg/id3v2_extended_tag.h"

using Text = ExtendedTag::Text;

MPEGTag::MPEGTag(CMPEGFile* file) : file_(file) {}

TagLib::ID3v2::Tag* MPEGTag::ID3v2Tag() const { return file_->PresentID3v2(false); }
ID3v1Block* MPEGTag::ID3v1Tag() const { return file_->PresentID3v1(false); }

Text MPEGTag::first(Getter getter) const {
    const ID3v1Block* tag = ID3v1Tag();
    return tag ? (tag->*getter)() : Text();
}

Text MPEGTag::second(Getter getter, bool numeric) const {
    TagLib::ID3v2::Tag* tag = ID3v2Tag();
    if (!tag) return Text();
    ID3v2ExtendedTag id3v2(tag);
    return FirstCounting({&id3v2}, getter, numeric);
}

void MPEGTag::setFirst(Setter setter, const Text& value) {
    (file_->PresentID3v1(true)->*setter)(value);
}

void MPEGTag::setSecond(Setter setter, const Text& value) {
    ID3v2ExtendedTag tag(file_->PresentID3v2(true));
    (tag.*setter)(value);
}

Text MPEGTag::title() const { return first(&ExtendedTag::title); }
Text MPEGTag::artist() const { return first(&ExtendedTag::artist); }
Text MPEGTag::album() const { return first(&ExtendedTag::album); }
Text MPEGTag::comment() const { return first(&ExtendedTag::comment); }
Text MPEGTag::genre() const { return first(&ExtendedTag::genre); }
Text MPEGTag::year() const { return first(&ExtendedTag::year); }
Text MPEGTag::track() const { return first(&ExtendedTag::track); }
Text MPEGTag::secondaryTitle() const { return second(&ExtendedTag::title); }
Text MPEGTag::secondaryArtist() const { return second(&ExtendedTag::artist); }
Text MPEGTag::secondaryAlbum() const { return second(&ExtendedTag::album); }
Text MPEGTag::secondaryComment() const { return second(&ExtendedTag::comment); }
Text MPEGTag::secondaryGenre() const { return second(&ExtendedTag::genre); }
Text MPEGTag::secondaryYear() const { return second(&ExtendedTag::year, true); }
Text MPEGTag::secondaryTrack() const { return second(&ExtendedTag::track, true); }
Text MPEGTag::composer() const { return second(&ExtendedTag::composer); }
Text MPEGTag::bpm() const { return second(&ExtendedTag::bpm); }
Text MPEGTag::pictureInfo() const { return second(&ExtendedTag::pictureInfo); }
Text MPEGTag::lyrics() const { return second(&ExtendedTag::lyrics); }
Text MPEGTag::disc() const { return second(&ExtendedTag::disc); }
Text MPEGTag::pictureSize() const { return second(&ExtendedTag::pictureSize); }

unsigned int MPEGTag::copyPicture(unsigned char* destination) const {
    if (pictureInfo().isEmpty()) return 0;
    return ID3v2ExtendedTag(ID3v2Tag()).copyPicture(destination);
}

void MPEGTag::setTitle(const Text& value) { setFirst(&ExtendedTag::setTitle, value); }
void MPEGTag::setArtist(const Text& value) { setFirst(&ExtendedTag::setArtist, value); }
void MPEGTag::setAlbum(const Text& value) { setFirst(&ExtendedTag::setAlbum, value); }
void MPEGTag::setComment(const Text& value) { setFirst(&ExtendedTag::setComment, value); }
void MPEGTag::setGenre(const Text& value) { setFirst(&ExtendedTag::setGenre, value); }
void MPEGTag::setYear(const Text& value) { setFirst(&ExtendedTag::setYear, value); }
void MPEGTag::setTrack(const Text& value) { setFirst(&ExtendedTag::setTrack, value); }
void MPEGTag::setSecondaryTitle(const Text& value) { setSecond(&ExtendedTag::setTitle, value); }
void MPEGTag::setSecondaryArtist(const Text& value) { setSecond(&ExtendedTag::setArtist, value); }
void MPEGTag::setSecondaryAlbum(const Text& value) { setSecond(&ExtendedTag::setAlbum, value); }
void MPEGTag::setSecondaryComment(const Text& value) { setSecond(&ExtendedTag::setComment, value); }
void MPEGTag::setSecondaryGenre(const Text& value) { setSecond(&ExtendedTag::setGenre, value); }
void MPEGTag::setSecondaryYear(const Text& value) { setSecond(&ExtendedTag::setYear, value); }
void MPEGTag::setSecondaryTrack(const Text& value) { setSecond(&ExtendedTag::setTrack, value); }
void MPEGTag::setComposer(const Text& value) { setSecond(&ExtendedTag::setComposer, value); }
void MPEGTag::setBpm(const Text& value) { setSecond(&ExtendedTag::setBpm, value); }
bool MPEGTag::setPicture(const Text& fileName) {
    TagLib::ByteVector picture;
    if (!ReadPictureFile(fileName, &picture)) return false;
    ID3v2ExtendedTag(file_->PresentID3v2(true)).setPictureData(picture);
    return true;
}
void MPEGTag::setLyrics(const Text& value) { setSecond(&ExtendedTag::setLyrics, value); }
void MPEGTag::setDisc(const Text& value) { setSecond(&ExtendedTag::setDisc, value); }

void MPEGTag::removePictures() {
    if (TagLib::ID3v2::Tag* tag = ID3v2Tag()) ID3v2ExtendedTag(tag).removePictures();
}

void MPEGTag::removeLyrics() {
    if (TagLib::ID3v2::Tag* tag = ID3v2Tag()) ID3v2ExtendedTag(tag).removeLyrics();
}

bool MPEGTag::isEmpty() const {
    const ID3v1Block* id3v1 = ID3v1Tag();
    TagLib::ID3v2::Tag* id3v2 = ID3v2Tag();
    return (!id3v1 || id3v1->isEmpty()) && (!id3v2 || ID3v2ExtendedTag(id3v2).isEmpty());
}
