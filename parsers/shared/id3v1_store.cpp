#include "parsers/shared/id3v1_store.h"

#include <taglib/id3v1tag.h>

#include "parsers/shared/property_fields.h"

namespace {

TagLib::StringList NonEmpty(const TagLib::String& text) {
    return text.isEmpty() ? TagLib::StringList() : TagLib::StringList(text);
}

TagLib::StringList Number(unsigned int value) {
    return value ? TagLib::StringList(TagLib::String::number(static_cast<int>(value)))
                 : TagLib::StringList();
}

}  // namespace

TagLib::StringList Id3v1Store::Values(const std::string& property) const {
    if (property == "TITLE") return NonEmpty(tag_->title());
    if (property == "ARTIST") return NonEmpty(tag_->artist());
    if (property == "ALBUM") return NonEmpty(tag_->album());
    if (property == "COMMENT") return NonEmpty(tag_->comment());
    if (property == "GENRE") return NonEmpty(tag_->genre());
    if (property == "DATE") return Number(tag_->year());
    if (property == "TRACKNUMBER") return Number(tag_->track());
    return TagLib::StringList();
}

bool Id3v1Store::SetValue(const std::string& property, const TagLib::String& value) {
    if (property == "TITLE") {
        tag_->setTitle(value);
    } else if (property == "ARTIST") {
        tag_->setArtist(value);
    } else if (property == "ALBUM") {
        tag_->setAlbum(value);
    } else if (property == "COMMENT") {
        tag_->setComment(value);
    } else if (property == "GENRE") {
        tag_->setGenre(value);
    } else if (property == "DATE") {
        tag_->setYear(static_cast<unsigned int>(LeadingNumber(value)));
    } else if (property == "TRACKNUMBER") {
        const int track = LeadingNumber(value);
        tag_->setTrack(track < 256 ? static_cast<unsigned int>(track) : 0);
    } else {
        return false;
    }
    return changed_ = true;
}
