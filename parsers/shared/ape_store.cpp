#include "parsers/shared/ape_store.h"

#include <taglib/apeitem.h>
#include <taglib/apetag.h>

#include <vector>

#include "parsers/shared/picture_content.h"

namespace {

const char kFrontCover[] = "COVER ART (FRONT)";
const char kCoverPrefix[] = "COVER ART (";

// The keys of a property: the one TagLib writes first, then the ones other
// taggers write for it.
std::vector<TagLib::String> KeysOf(const std::string& property) {
    if (property == "DATE") return {"YEAR", "DATE"};
    if (property == "TRACKNUMBER") return {"TRACK", "TRACKNUMBER"};
    if (property == "DISCNUMBER") return {"DISC", "DISCNUMBER"};
    return {TagLib::String(property)};
}

// The file name stored before a picture of this type.
const char* PictureFileName(const std::string& mimeType) {
    if (mimeType == "image/png") return "cover.png";
    if (mimeType == "image/gif") return "cover.gif";
    if (mimeType == "image/webp") return "cover.webp";
    if (mimeType == "image/bmp") return "cover.bmp";
    return "cover.jpg";
}

}  // namespace

TagLib::StringList ApeStore::Values(const std::string& property) const {
    TagLib::StringList values;
    for (const TagLib::String& key : KeysOf(property)) {
        auto item = tag_->itemListMap().find(key.upper());
        if (item == tag_->itemListMap().end() || item->second.type() != TagLib::APE::Item::Text)
            continue;
        for (const TagLib::String& value : item->second.values()) {
            if (!value.isEmpty()) values.append(value);
        }
        if (!values.isEmpty()) break;
    }
    return values;
}

bool ApeStore::SetValue(const std::string& property, const TagLib::String& value) {
    // The value goes to the text item that holds the property (keeping its
    // key's spelling), else to a new item; every other item of it goes.
    const TagLib::APE::ItemListMap& items = tag_->itemListMap();
    TagLib::APE::Item kept;
    bool found = false;
    for (const TagLib::String& key : KeysOf(property)) {
        auto item = items.find(key.upper());
        if (item == items.end()) continue;
        if (!found && !value.isEmpty() && item->second.type() == TagLib::APE::Item::Text) {
            kept = item->second;
            found = true;
        }
        tag_->removeItem(key);
    }
    if (value.isEmpty()) return true;
    if (!found) kept = TagLib::APE::Item(KeysOf(property).front(), value);
    kept.setValue(value);
    tag_->setItem(kept.key(), kept);
    return true;
}

TagLib::String ApeStore::ShownPictureKey() const {
    TagLib::String first;
    for (const auto& entry : tag_->itemListMap()) {
        if (entry.second.type() != TagLib::APE::Item::Binary) continue;
        if (entry.first == kFrontCover) return entry.first;
        if (first.isEmpty() && entry.first.startsWith(kCoverPrefix)) first = entry.first;
    }
    return first;
}

bool ApeStore::Picture(StoredPicture* picture) const {
    const TagLib::String key = ShownPictureKey();
    if (key.isEmpty()) return false;
    const TagLib::ByteVector value = tag_->itemListMap()[key].binaryData();
    const int nameEnd = value.find('\0');
    picture->data = nameEnd < 0 ? value : value.mid(static_cast<unsigned int>(nameEnd) + 1);
    const std::string mimeType = PictureMimeType(picture->data);
    picture->mimeType = mimeType.empty() ? "application/octet-stream" : mimeType.c_str();
    picture->description = TagLib::String();
    return true;
}

bool ApeStore::SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) {
    TagLib::String key = ShownPictureKey();
    TagLib::String spelling = "Cover Art (Front)";
    if (!key.isEmpty()) spelling = tag_->itemListMap()[key].key();
    TagLib::ByteVector value(PictureFileName(mimeType));
    value.append('\0');
    value.append(data);
    tag_->setItem(spelling, TagLib::APE::Item(spelling, value, true));
    return true;
}

bool ApeStore::RemovePictures() {
    TagLib::StringList keys;
    for (const auto& entry : tag_->itemListMap()) {
        if (entry.second.type() == TagLib::APE::Item::Binary &&
            entry.first.startsWith(kCoverPrefix))
            keys.append(entry.first);
    }
    for (const TagLib::String& key : keys) tag_->removeItem(key);
    return !keys.isEmpty();
}
