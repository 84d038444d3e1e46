#include "parsers/mpeg/xiph_extended_tag.h"

#include "parsers/mpeg/tag_text.h"

using Text = ExtendedTag::Text;

XiphExtendedTag::XiphExtendedTag(TagLib::Ogg::XiphComment* comment) : comment_(comment) {}

Text XiphExtendedTag::field(const char* name) const {
    const TagLib::Ogg::FieldListMap& fields = comment_->fieldListMap();
    auto it = fields.find(name);
    return it == fields.end() || it->second.isEmpty() ? Text() : it->second.front();
}

void XiphExtendedTag::setField(const char* name, const Text& value) {
    if (value.isEmpty()) {
        comment_->removeFields(name);
    } else {
        comment_->addField(name, value, true);
    }
}

Text XiphExtendedTag::title() const { return field("TITLE"); }
Text XiphExtendedTag::artist() const { return field("ARTIST"); }
Text XiphExtendedTag::album() const { return field("ALBUM"); }
Text XiphExtendedTag::genre() const { return field("GENRE"); }
Text XiphExtendedTag::year() const { return field("DATE"); }
Text XiphExtendedTag::track() const { return field("TRACKNUMBER"); }

Text XiphExtendedTag::comment() const {
    Text description = field("DESCRIPTION");
    return description.isEmpty() ? field("COMMENT") : description;
}

void XiphExtendedTag::setTitle(const Text& value) { setField("TITLE", value); }
void XiphExtendedTag::setArtist(const Text& value) { setField("ARTIST", value); }
void XiphExtendedTag::setAlbum(const Text& value) { setField("ALBUM", value); }
void XiphExtendedTag::setComment(const Text& value) { setField("DESCRIPTION", value); }
void XiphExtendedTag::setGenre(const Text& value) { setField("GENRE", value); }
void XiphExtendedTag::setYear(const Text& value) {
    setField("DATE", LeadingNumber(value) != 0 ? value : Text());
}

void XiphExtendedTag::setTrack(const Text& value) {
    setField("TRACKNUMBER", LeadingNumber(value) != 0 ? value : Text());
}

bool XiphExtendedTag::isEmpty() const { return comment_->fieldCount() == 0; }
