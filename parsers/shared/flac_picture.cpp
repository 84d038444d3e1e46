#include "parsers/shared/flac_picture.h"

#include <taglib/flacpicture.h>

bool ReadFlacPicture(const TagLib::ByteVector& data, StoredPicture* stored) {
    TagLib::FLAC::Picture picture;
    if (data.isEmpty() || !picture.parse(data)) return false;
    stored->data = picture.data();
    stored->mimeType = picture.mimeType();
    stored->description = picture.description();
    stored->type = picture.type();
    return true;
}

TagLib::ByteVector MakeFlacPicture(const TagLib::ByteVector& old, int type,
                                   const TagLib::ByteVector& data, const std::string& mimeType) {
    TagLib::FLAC::Picture picture;
    TagLib::String description;
    if (!old.isEmpty() && picture.parse(old)) description = picture.description();
    TagLib::FLAC::Picture made;
    made.setType(static_cast<TagLib::FLAC::Picture::Type>(type));
    made.setMimeType(mimeType);
    made.setDescription(description);
    made.setData(data);
    return made.render();
}
