#include "parsers/mpeg/ape_extended_tag.h"

#include "parsers/mpeg/tag_text.h"

using Text = ExtendedTag::Text;

APEExtendedTag::APEExtendedTag(TagLib::APE::Tag* tag) : tag_(tag) {}

Text APEExtendedTag::item(const char* key) const {
    const TagLib::APE::ItemListMap& items = tag_->itemListMap();
    auto it = items.find(key);
    return it == items.end() ? Text() : it->second.toString();
}

Text APEExtendedTag::title() const { return item("TITLE"); }
Text APEExtendedTag::artist() const { return item("ARTIST"); }
Text APEExtendedTag::album() const { return item("ALBUM"); }
Text APEExtendedTag::comment() const { return item("COMMENT"); }
Text APEExtendedTag::genre() const { return item("GENRE"); }
Text APEExtendedTag::year() const { return item("YEAR"); }
Text APEExtendedTag::track() const { return item("TRACK"); }

void APEExtendedTag::setTitle(const Text& value) { tag_->setTitle(value); }
void APEExtendedTag::setArtist(const Text& value) { tag_->setArtist(value); }
void APEExtendedTag::setAlbum(const Text& value) { tag_->setAlbum(value); }
void APEExtendedTag::setComment(const Text& value) { tag_->setComment(value); }
void APEExtendedTag::setGenre(const Text& value) { tag_->setGenre(value); }

void APEExtendedTag::setYear(const Text& value) {
    if (LeadingNumber(value) > 0) {
        tag_->addValue("YEAR", value, true);
    } else {
        tag_->removeItem("YEAR");
    }
}

void APEExtendedTag::setTrack(const Text& value) {
    if (LeadingNumber(value) > 0) {
        tag_->addValue("TRACK", value, true);
    } else {
        tag_->removeItem("TRACK");
    }
}

bool APEExtendedTag::isEmpty() const { return basicFieldsEmpty(); }
