#include "parsers/flac/flac_store.h"

#include <taglib/flacpicture.h>

#include "parsers/flac/flac_metadata.h"
#include "parsers/shared/tag_lib_text.h"
#include "parsers/vorbis_comment/vorbis_comment_list.h"

namespace {

bool ParsePicture(const FlacMetadata::Block& block, TagLib::FLAC::Picture* picture) {
    return block.type == FlacMetadata::kPicture && !block.removed && picture->parse(block.data);
}

}  // namespace

TagLib::StringList FlacStore::Values(const std::string& property) const {
    const std::string name =
        property == "COMMENT" && comments_->HasValue("DESCRIPTION") ? "DESCRIPTION" : property;
    TagLib::StringList values;
    for (const std::wstring& value : comments_->Values(name)) values.append(ToTagText(value));
    return values;
}

bool FlacStore::SetValue(const std::string& property, const TagLib::String& value) {
    const StringEx text(FromTagText(value));
    if (property != "COMMENT") return comments_->Set(property, text);
    if (value.isEmpty())
        return comments_->Set("DESCRIPTION", text) && comments_->Set("COMMENT", text);
    return comments_->Set(comments_->HasValue("DESCRIPTION") ? "DESCRIPTION" : "COMMENT", text);
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
