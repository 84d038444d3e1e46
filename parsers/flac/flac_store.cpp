#include "parsers/flac/flac_store.h"

#include <taglib/flacpicture.h>

#include "parsers/flac/flac_metadata.h"
#include "parsers/flac/vorbis_comment_list.h"

namespace {

bool ParsePicture(const FlacMetadata::Block& block, TagLib::FLAC::Picture* picture) {
    return block.type == FlacMetadata::kPicture && !block.removed && picture->parse(block.data);
}

}  // namespace

TagLib::StringList FlacStore::Values(const std::string& property) const {
    if (property != "COMMENT") return comments_->Values(property);
    TagLib::StringList description = comments_->Values("DESCRIPTION");
    return description.isEmpty() ? comments_->Values("COMMENT") : description;
}

bool FlacStore::SetValue(const std::string& property, const TagLib::String& value) {
    if (property != "COMMENT") return comments_->Set(property, value);
    if (value.isEmpty())
        return comments_->Set("DESCRIPTION", value) && comments_->Set("COMMENT", value);
    const bool described = !comments_->Values("DESCRIPTION").isEmpty();
    return comments_->Set(described ? "DESCRIPTION" : "COMMENT", value);
}

int FlacStore::ShownPictureBlock() const {
    int first = -1;
    const auto& blocks = metadata_->Blocks();
    for (size_t i = 0; i < blocks.size(); ++i) {
        TagLib::FLAC::Picture picture;
        if (!ParsePicture(blocks[i], &picture)) continue;
        if (picture.type() == TagLib::FLAC::Picture::FrontCover) return static_cast<int>(i);
        if (first < 0) first = static_cast<int>(i);
    }
    return first;
}

bool FlacStore::Picture(StoredPicture* stored) const {
    const int index = ShownPictureBlock();
    TagLib::FLAC::Picture picture;
    if (index < 0 || !ParsePicture(metadata_->Blocks()[static_cast<size_t>(index)], &picture))
        return false;
    stored->data = picture.data();
    stored->mimeType = picture.mimeType();
    stored->description = picture.description();
    return true;
}

bool FlacStore::SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) {
    const int index = ShownPictureBlock();
    TagLib::FLAC::Picture picture;
    if (index >= 0) ParsePicture(metadata_->Blocks()[static_cast<size_t>(index)], &picture);
    picture.setType(TagLib::FLAC::Picture::FrontCover);
    picture.setMimeType(mimeType);
    picture.setData(data);
    // What the old image was (its size and colours) says nothing of this one.
    picture.setWidth(0);
    picture.setHeight(0);
    picture.setColorDepth(0);
    picture.setNumColors(0);
    if (index < 0) {
        metadata_->Add(FlacMetadata::kPicture, picture.render());
        return true;
    }
    FlacMetadata::Block& block = metadata_->Blocks()[static_cast<size_t>(index)];
    block.data = picture.render();
    block.replaced = true;
    return true;
}

bool FlacStore::RemovePictures() {
    bool removed = false;
    for (FlacMetadata::Block& block : metadata_->Blocks()) {
        if (block.type != FlacMetadata::kPicture || block.removed) continue;
        block.removed = true;
        removed = true;
    }
    return removed;
}
