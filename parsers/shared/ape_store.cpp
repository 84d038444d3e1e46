#include "parsers/shared/ape_store.h"

#include <taglib/apeitem.h>
#include <taglib/apetag.h>

#include <iterator>
#include <vector>

#include "parsers/shared/picture_content.h"
#include "parsers/shared/property_fields.h"

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

// The picture types by the names APE tags give them ("Cover Art (Back)"),
// in the order of the ID3v2 and FLAC picture types.
const char* const kPictureNames[] = {
    "Other",
    "Icon",
    "Other Icon",
    "Front",
    "Back",
    "Leaflet",
    "Media",
    "Lead Artist",
    "Artist",
    "Conductor",
    "Band",
    "Composer",
    "Lyricist",
    "Recording Location",
    "During Recording",
    "During Performance",
    "Video Capture",
    "Fish",
    "Illustration",
    "Band Logotype",
    "Publisher Logotype",
};

// The type a "Cover Art (...)" key names; -1 for any other key.
int PictureTypeOf(const TagLib::String& key) {
    for (int type = 0; type < static_cast<int>(std::size(kPictureNames)); ++type) {
        if (key.upper() == (TagLib::String("Cover Art (") + kPictureNames[type] + ")").upper())
            return type;
    }
    return -1;
}

bool IsPicture(const TagLib::APE::Item& item) {
    return item.type() == TagLib::APE::Item::Binary && item.key().upper().startsWith(kCoverPrefix);
}

// The image of a picture item's value: what follows the file name and its zero byte.
TagLib::ByteVector ImageOf(const TagLib::ByteVector& value) {
    const int nameEnd = value.find('\0');
    return nameEnd < 0 ? value : value.mid(static_cast<unsigned int>(nameEnd) + 1);
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
    picture->data = ImageOf(tag_->itemListMap()[key].binaryData());
    picture->type = PictureTypeOf(key);
    const std::string mimeType = PictureMimeType(picture->data);
    picture->mimeType = mimeType.empty() ? "application/octet-stream" : mimeType.c_str();
    picture->description = TagLib::String();
    return true;
}

bool ApeStore::SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) {
    const TagLib::String key = ShownPictureKey();
    PutPicture(key.isEmpty() ? TagLib::String("Cover Art (Front)") : key, data, mimeType);
    return true;
}

void ApeStore::PutPicture(const TagLib::String& key, const TagLib::ByteVector& data,
                          const std::string& mimeType) {
    auto it = tag_->itemListMap().find(key.upper());
    const TagLib::String spelling = it == tag_->itemListMap().end() ? key : it->second.key();
    TagLib::ByteVector value(PictureFileName(mimeType));
    value.append('\0');
    value.append(data);
    tag_->setItem(spelling, TagLib::APE::Item(spelling, value, true));
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

std::vector<TagItem> ApeStore::Items() const {
    std::vector<TagItem> items;
    for (const auto& entry : tag_->itemListMap()) {
        const TagLib::APE::Item& each = entry.second;
        if (IsPicture(each)) continue;
        TagItem item;
        item.key = each.key();
        if (each.type() == TagLib::APE::Item::Binary) {
            item.binary = true;
            item.bytes = each.binaryData().size();
        } else {
            item.text = JoinValues(each.values());
        }
        items.push_back(item);
    }
    return items;
}

bool ApeStore::SetItem(const TagLib::String& key, const TagLib::String& value) {
    auto it = tag_->itemListMap().find(key.upper());
    const bool exists = it != tag_->itemListMap().end();
    if (value.isEmpty()) {
        const bool removable = exists && !IsPicture(it->second);
        if (removable) tag_->removeItem(key);
        return removable;
    }
    if (!TagLib::APE::Tag::checkKey(key)) return false;
    if (exists && it->second.type() != TagLib::APE::Item::Text) return false;
    TagLib::APE::Item item = exists ? it->second : TagLib::APE::Item(key, value);
    item.setValue(value);
    tag_->setItem(item.key(), item);
    return true;
}

bool ApeStore::SameKey(const TagLib::String& a, const TagLib::String& b) const {
    return a.upper() == b.upper();
}

std::vector<StoredPicture> ApeStore::Pictures() const {
    std::vector<StoredPicture> pictures;
    for (const auto& entry : tag_->itemListMap()) {
        if (!IsPicture(entry.second)) continue;
        StoredPicture picture;
        const TagLib::ByteVector value = entry.second.binaryData();
        picture.data = ImageOf(value);
        const std::string mimeType = PictureMimeType(picture.data);
        picture.mimeType = mimeType.empty() ? "application/octet-stream" : mimeType.c_str();
        picture.type = PictureTypeOf(entry.second.key());
        pictures.push_back(picture);
    }
    return pictures;
}

bool ApeStore::SetPictureOfType(int type, const TagLib::ByteVector& data,
                                const std::string& mimeType) {
    if (type < 0 || type >= static_cast<int>(std::size(kPictureNames))) return false;
    PutPicture(TagLib::String("Cover Art (") + kPictureNames[type] + ")", data, mimeType);
    return true;
}

bool ApeStore::RemovePicturesOfType(int type) {
    TagLib::StringList keys;
    for (const auto& entry : tag_->itemListMap()) {
        if (IsPicture(entry.second) && PictureTypeOf(entry.second.key()) == type)
            keys.append(entry.first);
    }
    for (const TagLib::String& key : keys) tag_->removeItem(key);
    return !keys.isEmpty();
}
