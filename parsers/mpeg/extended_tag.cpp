#include "parsers/mpeg/extended_tag.h"

#include "parsers/mpeg/tag_text.h"

using Text = ExtendedTag::Text;

ExtendedTag::~ExtendedTag() = default;

Text ExtendedTag::title() const { return Text(); }
Text ExtendedTag::secondaryTitle() const { return Text(); }
Text ExtendedTag::artist() const { return Text(); }
Text ExtendedTag::secondaryArtist() const { return Text(); }
Text ExtendedTag::album() const { return Text(); }
Text ExtendedTag::secondaryAlbum() const { return Text(); }
Text ExtendedTag::comment() const { return Text(); }
Text ExtendedTag::secondaryComment() const { return Text(); }
Text ExtendedTag::genre() const { return Text(); }
Text ExtendedTag::secondaryGenre() const { return Text(); }
Text ExtendedTag::year() const { return Text(); }
Text ExtendedTag::secondaryYear() const { return Text(); }
Text ExtendedTag::track() const { return Text(); }
Text ExtendedTag::secondaryTrack() const { return Text(); }
Text ExtendedTag::composer() const { return Text(); }
Text ExtendedTag::bpm() const { return Text(); }
Text ExtendedTag::pictureInfo() const { return Text(); }
Text ExtendedTag::lyrics() const { return Text(); }
Text ExtendedTag::disc() const { return Text(); }
unsigned int ExtendedTag::copyPicture(unsigned char*) const { return 0; }
Text ExtendedTag::pictureSize() const { return Text(); }

void ExtendedTag::setTitle(const Text&) {}
void ExtendedTag::setSecondaryTitle(const Text&) {}
void ExtendedTag::setArtist(const Text&) {}
void ExtendedTag::setSecondaryArtist(const Text&) {}
void ExtendedTag::setAlbum(const Text&) {}
void ExtendedTag::setSecondaryAlbum(const Text&) {}
void ExtendedTag::setComment(const Text&) {}
void ExtendedTag::setSecondaryComment(const Text&) {}
void ExtendedTag::setGenre(const Text&) {}
void ExtendedTag::setSecondaryGenre(const Text&) {}
void ExtendedTag::setYear(const Text&) {}
void ExtendedTag::setSecondaryYear(const Text&) {}
void ExtendedTag::setTrack(const Text&) {}
void ExtendedTag::setSecondaryTrack(const Text&) {}
void ExtendedTag::setComposer(const Text&) {}
void ExtendedTag::setBpm(const Text&) {}
bool ExtendedTag::setPicture(const Text&) { return false; }
void ExtendedTag::removePictures() {}
void ExtendedTag::setLyrics(const Text&) {}
void ExtendedTag::removeLyrics() {}
void ExtendedTag::setDisc(const Text&) {}
void ExtendedTag::setOriginalArtist(const Text&) {}
void ExtendedTag::setCopyright(const Text&) {}
void ExtendedTag::setUrl(const Text&) {}
void ExtendedTag::setEncodedBy(const Text&) {}

bool ExtendedTag::basicFieldsEmpty() const {
    return title().isEmpty() && artist().isEmpty() && album().isEmpty() && comment().isEmpty() &&
           genre().isEmpty() && year().isEmpty() && track().isEmpty();
}

Text FirstCounting(std::initializer_list<const ExtendedTag*> tags, ExtendedTag::Getter getter,
                   bool numeric) {
    for (const ExtendedTag* tag : tags) {
        if (!tag) continue;
        Text value = (tag->*getter)();
        if (numeric ? LeadingNumber(value) > 0 : !value.isEmpty()) return value;
    }
    return Text();
}
