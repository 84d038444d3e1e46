#include "parsers/flac/flac_store.h"

#include <taglib/flacpicture.h>

#include "parsers/flac/flac_metadata.h"
#include "parsers/shared/tag_lib_text.h"
#include "parsers/vorbis_comment/vorbis_comment_list.h"

namespace {

bool ParsePicture(const FlacMetadata::Block& block, TagLib::FLAC::Picture* picture) {
    return block.type == FlacMetadata::kPicture && !block.removed && picture->parse(block.data);
}

// The entries of a comment block's data, as NAME=value byte strings.
std::vector<TagLib::ByteVector> Entries(const TagLib::ByteVector& data) {
    std::vector<TagLib::ByteVector> entries;
    if (data.size() < 8) return entries;
    unsigned int at = 4 + data.toUInt(0U, false);
    if (at > data.size() - 4) return entries;
    const unsigned int count = data.toUInt(at, false);
    at += 4;
    for (unsigned int i = 0; i < count && data.size() - at >= 4; ++i) {
        const unsigned int length = data.toUInt(at, false);
        if (data.size() - at - 4 < length) break;
        entries.push_back(data.mid(at + 4, length));
        at += 4 + length;
    }
    return entries;
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
    PutPicture(ShownPictureBlock(), TagLib::FLAC::Picture::FrontCover, data, mimeType);
    return true;
}

void FlacStore::PutPicture(int index, int type, const TagLib::ByteVector& data,
                           const std::string& mimeType) {
    TagLib::FLAC::Picture picture;
    if (index >= 0) ParsePicture(metadata_->Blocks()[static_cast<size_t>(index)], &picture);
    picture.setType(static_cast<TagLib::FLAC::Picture::Type>(type));
    picture.setMimeType(mimeType);
    picture.setData(data);
    // What the old image was (its size and colours) says nothing of this one.
    picture.setWidth(0);
    picture.setHeight(0);
    picture.setColorDepth(0);
    picture.setNumColors(0);
    if (index < 0) {
        metadata_->Add(FlacMetadata::kPicture, picture.render());
        return;
    }
    FlacMetadata::Block& block = metadata_->Blocks()[static_cast<size_t>(index)];
    block.data = picture.render();
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
        TagLib::FLAC::Picture picture;
        if (!ParsePicture(block, &picture)) continue;
        StoredPicture stored;
        stored.data = picture.data();
        stored.mimeType = picture.mimeType();
        stored.description = picture.description();
        stored.type = picture.type();
        pictures.push_back(stored);
    }
    return pictures;
}

int FlacStore::PictureBlockOfType(int type) const {
    const auto& blocks = metadata_->Blocks();
    for (size_t i = 0; i < blocks.size(); ++i) {
        TagLib::FLAC::Picture picture;
        if (ParsePicture(blocks[i], &picture) && picture.type() == type) return static_cast<int>(i);
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
