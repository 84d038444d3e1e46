#include "parsers/flac/flac_store.h"

#include "parsers/flac/flac_metadata.h"
#include "parsers/shared/flac_picture.h"
#include "parsers/shared/tag_lib_text.h"
#include "parsers/vorbis_comment/vorbis_comment_list.h"

namespace {

bool ParsePicture(const FlacMetadata::Block& block, StoredPicture* picture) {
    return block.type == FlacMetadata::kPicture && !block.removed &&
           ReadFlacPicture(block.data, picture);
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
        StoredPicture picture;
        if (!ParsePicture(blocks[i], &picture)) continue;
        if (picture.type == StoredPicture::kFrontCover) return static_cast<int>(i);
        if (first < 0) first = static_cast<int>(i);
    }
    return first;
}

bool FlacStore::Picture(StoredPicture* picture) const {
    const int index = ShownPictureBlock();
    return index >= 0 && ParsePicture(metadata_->Blocks()[static_cast<size_t>(index)], picture);
}

bool FlacStore::SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) {
    PutPicture(ShownPictureBlock(), StoredPicture::kFrontCover, data, mimeType);
    return true;
}

void FlacStore::PutPicture(int index, int type, const TagLib::ByteVector& data,
                           const std::string& mimeType) {
    if (index < 0) {
        metadata_->Add(FlacMetadata::kPicture, MakeFlacPicture({}, type, data, mimeType));
        return;
    }
    FlacMetadata::Block& block = metadata_->Blocks()[static_cast<size_t>(index)];
    block.data = MakeFlacPicture(block.data, type, data, mimeType);
    block.replaced = true;
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

std::vector<TagItem> FlacStore::Items() const {
    std::vector<TagItem> items;
    for (size_t index = 0; index < comments_->Count(); ++index) {
        const std::string_view text = comments_->TextAt(index);
        const size_t equals = text.find('=');
        const std::string_view value =
            equals == std::string_view::npos ? text : text.substr(equals + 1);
        TagItem item;
        item.key = TagLib::String(comments_->NameAt(index), TagLib::String::Latin1);
        item.text = TagLib::String(std::string(value), TagLib::String::UTF8);
        items.push_back(item);
    }
    return items;
}

bool FlacStore::SetItem(const TagLib::String& key, const TagLib::String& value) {
    const std::string name = key.to8Bit(true);
    if (!VorbisCommentList::IsValidName(name)) return false;
    return comments_->Set(name, StringEx(FromTagText(value)));
}

bool FlacStore::SameKey(const TagLib::String& a, const TagLib::String& b) const {
    return a.upper() == b.upper();
}

std::vector<StoredPicture> FlacStore::Pictures() const {
    std::vector<StoredPicture> pictures;
    for (const FlacMetadata::Block& block : metadata_->Blocks()) {
        StoredPicture picture;
        if (ParsePicture(block, &picture)) pictures.push_back(picture);
    }
    return pictures;
}

int FlacStore::PictureBlockOfType(int type) const {
    const auto& blocks = metadata_->Blocks();
    for (size_t i = 0; i < blocks.size(); ++i) {
        StoredPicture picture;
        if (ParsePicture(blocks[i], &picture) && picture.type == type) return static_cast<int>(i);
    }
    return -1;
}

bool FlacStore::SetPictureOfType(int type, const TagLib::ByteVector& data,
                                 const std::string& mimeType) {
    PutPicture(PictureBlockOfType(type), type, data, mimeType);
    return true;
}

bool FlacStore::RemovePicturesOfType(int type) {
    bool removed = false;
    for (int index; (index = PictureBlockOfType(type)) >= 0; removed = true)
        metadata_->Blocks()[static_cast<size_t>(index)].removed = true;
    return removed;
}
