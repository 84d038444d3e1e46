#include "parsers/mp4/mp4_items.h"

#include <taglib/id3v1genres.h>

#include "parsers/shared/picture_content.h"
#include "parsers/shared/property_fields.h"

namespace {

// MP4 data-atom types.
enum : int {
    kImplicit = 0,
    kUtf8 = 1,
    kUtf16 = 2,
    kGif = 12,
    kJpeg = 13,
    kPng = 14,
    kInteger = 21,
    kBmp = 27
};

const char kFreeFormMean[] = "com.apple.iTunes";

const struct {
    const char* property;
    const char* key;
} kKeys[] = {
    {"TITLE", "\251nam"},
    {"ARTIST", "\251ART"},
    {"ALBUM", "\251alb"},
    {"DATE", "\251day"},
    {"GENRE", "\251gen"},
    {"COMMENT", "\251cmt"},
    {"TRACKNUMBER", "trkn"},
    {"DISCNUMBER", "disk"},
    {"COMPOSER", "\251wrt"},
    {"COPYRIGHT", "cprt"},
    {"ENCODEDBY", "\251too"},
    {"LYRICS", "\251lyr"},
    {"BPM", "tmpo"},
    {"ORIGINALARTIST", "----:com.apple.iTunes:ORIGINALARTIST"},
    {"URL", "----:com.apple.iTunes:URL"},
};

std::string KeyForProperty(const std::string& property) {
    for (const auto& entry : kKeys) {
        if (property == entry.property) return entry.key;
    }
    return std::string();
}

TagLib::ByteVector Atom(const TagLib::ByteVector& name, const TagLib::ByteVector& content) {
    TagLib::ByteVector atom = TagLib::ByteVector::fromUInt(8 + content.size());
    atom.append(name);
    atom.append(content);
    return atom;
}

TagLib::ByteVector DataAtom(int type, const TagLib::ByteVector& payload) {
    TagLib::ByteVector content = TagLib::ByteVector::fromUInt(static_cast<unsigned int>(type));
    content.append(TagLib::ByteVector(4, '\0'));
    content.append(payload);
    return Atom("data", content);
}

// A free-form item's "mean" or "name" atom.
TagLib::ByteVector LabelAtom(const char* name, const std::string& text) {
    TagLib::ByteVector content(4, '\0');
    content.append(TagLib::ByteVector(text.data(), static_cast<unsigned int>(text.size())));
    return Atom(name, content);
}

TagLib::ByteVector Short(int value) {
    return TagLib::ByteVector::fromShort(static_cast<short>(value));
}

const char* MimeTypeOf(int type) {
    switch (type) {
        case kJpeg:
            return "image/jpeg";
        case kPng:
            return "image/png";
        case kGif:
            return "image/gif";
        case kBmp:
            return "image/bmp";
        default:
            return nullptr;
    }
}

int ImageType(const std::string& mimeType) {
    if (mimeType == "image/jpeg") return kJpeg;
    if (mimeType == "image/png") return kPng;
    if (mimeType == "image/gif") return kGif;
    if (mimeType == "image/bmp") return kBmp;
    return kImplicit;
}

bool IsImage(int type) { return type == kImplicit || MimeTypeOf(type); }

const char kCoverKey[] = "covr";
// The type a host names the first image by: its images have none.
constexpr int kFrontCoverType = 3;

}  // namespace

void Mp4Items::Parse(const TagLib::ByteVector& ilstData) {
    items_.clear();
    changed_ = false;
    unsigned int at = 0;
    while (at < ilstData.size()) {
        const unsigned int rest = ilstData.size() - at;
        unsigned int length = rest >= 8 ? ilstData.toUInt(at) : 0;
        // What cannot be walked stays as it is, one opaque piece no key matches.
        const bool walkable = length >= 8 && length <= rest;
        Item item;
        item.atom = ilstData.mid(at, walkable ? length : rest);
        if (walkable) item.key = KeyOf(item.atom);
        items_.push_back(item);
        at += item.atom.size();
    }
}

TagLib::ByteVector Mp4Items::Render() const {
    TagLib::ByteVector data;
    for (const Item& item : items_) {
        if (!item.removed) data.append(item.atom);
    }
    return data;
}

std::vector<Mp4Items::Data> Mp4Items::DataAtoms(const TagLib::ByteVector& atom) {
    std::vector<Data> found;
    for (unsigned int at = 8; atom.size() - at >= 8;) {
        const unsigned int length = atom.toUInt(at);
        if (length < 8 || length > atom.size() - at) break;
        if (length >= 16 && atom.containsAt("data", at + 4)) {
            found.push_back({static_cast<int>(atom.toUInt(at + 8) & 0xFFFFFF),
                             atom.mid(at + 16, length - 16), at, length});
        }
        at += length;
    }
    return found;
}

std::string Mp4Items::KeyOf(const TagLib::ByteVector& atom) {
    const std::string name(atom.data() + 4, 4);
    if (name != "----") return name;
    std::string mean, label;
    for (unsigned int at = 8; atom.size() - at >= 12;) {
        const unsigned int length = atom.toUInt(at);
        if (length < 12 || length > atom.size() - at) break;
        const std::string text(atom.data() + at + 12, length - 12);
        if (atom.containsAt("mean", at + 4)) mean = text;
        if (atom.containsAt("name", at + 4)) label = text;
        at += length;
    }
    return "----:" + mean + ":" + label;
}

TagLib::StringList Mp4Items::Decode(const std::string& key, const Data& data) {
    const TagLib::ByteVector& payload = data.payload;
    TagLib::String text;
    if (key == "trkn" || key == "disk") {
        if (payload.size() < 6) return TagLib::StringList();
        const int number = static_cast<unsigned short>(payload.toShort(2U));
        const int total = static_cast<unsigned short>(payload.toShort(4U));
        if (number || total) text = TagLib::String::number(number);
        if (total) text += "/" + TagLib::String::number(total);
    } else if (key == "gnre") {
        const int index = payload.size() >= 2 ? static_cast<unsigned short>(payload.toShort()) : 0;
        if (index > 0) text = TagLib::ID3v1::genre(index - 1);
    } else if (key == "tmpo") {
        const unsigned int size = payload.size();
        long long number = 0;
        for (unsigned int i = 0; i < size && size <= 8; ++i)
            number = (number << 8) | static_cast<unsigned char>(payload[i]);
        if (size == 1 || size == 2 || size == 4 || size == 8)
            text = TagLib::String::number(static_cast<int>(number));
    } else if (data.type == kUtf8 || data.type == kImplicit) {
        text = TagLib::String(payload, TagLib::String::UTF8);
    } else if (data.type == kUtf16) {
        text = TagLib::String(payload, TagLib::String::UTF16BE);
    }
    return text.isEmpty() ? TagLib::StringList() : TagLib::StringList(text);
}

TagLib::StringList Mp4Items::Values(const std::string& property) const {
    const std::string key = KeyForProperty(property);
    TagLib::StringList values;
    if (key.empty()) return values;
    for (const std::string& wanted : {key, std::string(property == "GENRE" ? "gnre" : "")}) {
        for (const Item& item : items_) {
            if (item.removed || item.key != wanted || wanted.empty()) continue;
            for (const Data& data : DataAtoms(item.atom)) values.append(Decode(wanted, data));
        }
        if (!values.isEmpty()) break;
    }
    return values;
}

bool Mp4Items::SetValue(const std::string& property, const TagLib::String& value) {
    const std::string key = KeyForProperty(property);
    if (key.empty()) return false;
    const std::string alsoRemove = property == "GENRE" ? "gnre" : "";
    TagLib::ByteVector atom;
    int total = 0;
    const int number = LeadingNumber(value, &total);
    if (value.isEmpty()) {
        // Nothing to render: Replace removes every item of the key.
    } else if (key == "trkn" || key == "disk") {
        if ((number == 0 && total == 0) || number > 0xFFFF || total > 0xFFFF) return false;
        TagLib::ByteVector payload = Short(0) + Short(number) + Short(total);
        if (key == "trkn") payload.append(Short(0));
        atom = Atom(TagLib::ByteVector(key.data(), 4), DataAtom(kImplicit, payload));
    } else if (key == "tmpo") {
        if (TagLib::String::number(number) != value || number > 0x7FFF) return false;
        atom = Atom("tmpo", DataAtom(kInteger, Short(number)));
    } else if (key.compare(0, 5, "----:") == 0) {
        atom = Atom("----", LabelAtom("mean", kFreeFormMean) +
                                LabelAtom("name", key.substr(key.rfind(':') + 1)) +
                                DataAtom(kUtf8, value.data(TagLib::String::UTF8)));
    } else {
        atom = Atom(TagLib::ByteVector(key.data(), 4),
                    DataAtom(kUtf8, value.data(TagLib::String::UTF8)));
    }
    Replace(key, atom, alsoRemove);
    return true;
}

// Puts `atom` (of `key`; none when empty) in the place of the first item of
// `key` or `alsoRemove`, else last; every other item of either goes.
void Mp4Items::Replace(const std::string& key, const TagLib::ByteVector& atom,
                       const std::string& alsoRemove) {
    bool placed = atom.isEmpty();
    for (Item& item : items_) {
        if (item.removed || item.key.empty() || (item.key != key && item.key != alsoRemove))
            continue;
        changed_ = true;
        if (placed) {
            item.removed = true;
            continue;
        }
        item.key = key;
        item.atom = atom;
        placed = true;
    }
    if (!placed) {
        items_.push_back({key, atom, false});
        changed_ = true;
    }
}

bool Mp4Items::Picture(StoredPicture* picture) const {
    for (const Item& item : items_) {
        if (item.removed || item.key != kCoverKey) continue;
        for (const Data& data : DataAtoms(item.atom)) {
            if (!IsImage(data.type)) continue;
            picture->data = data.payload;
            const char* mimeType = MimeTypeOf(data.type);
            const std::string sniffed = mimeType ? "" : PictureMimeType(data.payload);
            picture->mimeType = mimeType          ? mimeType
                                : sniffed.empty() ? "image/unknown"
                                                  : sniffed.c_str();
            picture->description = TagLib::String();
            return true;
        }
    }
    return false;
}

bool Mp4Items::SetPicture(const TagLib::ByteVector& image, const std::string& mimeType) {
    const TagLib::ByteVector data = DataAtom(ImageType(mimeType), image);
    for (Item& item : items_) {
        if (item.removed || item.key != kCoverKey) continue;
        for (const Data& old : DataAtoms(item.atom)) {
            if (!IsImage(old.type)) continue;
            // The first image is replaced; the other images and atoms stay.
            TagLib::ByteVector content = item.atom.mid(8, old.offset - 8);
            content.append(data);
            content.append(item.atom.mid(old.offset + old.length));
            item.atom = Atom("covr", content);
            return changed_ = true;
        }
    }
    items_.push_back({kCoverKey, Atom("covr", data), false});
    return changed_ = true;
}

bool Mp4Items::RemovePictures() {
    bool removed = false;
    for (Item& item : items_) {
        if (item.removed || item.key != kCoverKey) continue;
        item.removed = removed = true;
    }
    changed_ = changed_ || removed;
    return removed;
}

namespace {

// Atoms other than "©..." that hold text, as taggers write them.
const char* const kTextAtoms[] = {"aART", "desc", "ldes", "sonm", "soar", "soal", "soaa", "soco",
                                  "sosn", "tvsh", "tvnn", "tven", "purd", "keyw", "catg", "xid "};

const char kFreeForm[] = "----:";

TagLib::String KeyText(const std::string& key) {
    const bool freeForm = key.compare(0, 5, kFreeForm) == 0;
    return TagLib::String(key, freeForm ? TagLib::String::UTF8 : TagLib::String::Latin1);
}

std::string KeyBytes(const TagLib::String& key) {
    return key.startsWith(kFreeForm) ? key.to8Bit(true) : key.to8Bit(false);
}

// A big-endian integer payload (the MP4 integer types) as text; empty for others.
TagLib::String IntegerText(const TagLib::ByteVector& payload) {
    const unsigned int size = payload.size();
    if (size != 1 && size != 2 && size != 4 && size != 8) return TagLib::String();
    long long number = static_cast<signed char>(payload[0]);
    for (unsigned int i = 1; i < size; ++i)
        number = number * 256 + static_cast<unsigned char>(payload[i]);
    return TagLib::String(std::to_string(number));
}

constexpr int kSignedInteger = 21;
constexpr int kUnsignedInteger = 22;

}  // namespace

std::vector<TagItem> Mp4Items::Items() const {
    std::vector<TagItem> items;
    for (const Item& each : items_) {
        if (each.removed || each.key.empty() || each.key == kCoverKey) continue;
        TagItem item;
        item.key = KeyText(each.key);
        TagLib::StringList values;
        const bool numbers =
            each.key == "trkn" || each.key == "disk" || each.key == "gnre" || each.key == "tmpo";
        for (const Data& data : DataAtoms(each.atom)) {
            // Data of no stated type that holds zero bytes is no text (iTunes'
            // encoder parameters).
            const bool opaque = !numbers && data.type == kImplicit && data.payload.find('\0') >= 0;
            TagLib::StringList decoded = opaque ? TagLib::StringList() : Decode(each.key, data);
            if (decoded.isEmpty() && (data.type == kSignedInteger || data.type == kUnsignedInteger))
                decoded.append(IntegerText(data.payload));
            if (opaque) item.binary = true;
            values.append(decoded);
            item.bytes += data.payload.size();
        }
        item.binary = item.binary || values.isEmpty();
        item.text = item.binary ? TagLib::String() : JoinValues(values);
        if (!item.binary) item.bytes = 0;
        items.push_back(item);
    }
    return items;
}

bool Mp4Items::SetItem(const TagLib::String& key, const TagLib::String& value) {
    const std::string bytes = KeyBytes(key);
    for (const auto& entry : kKeys) {
        if (bytes == entry.key) return SetValue(entry.property, value);
    }
    if (value.isEmpty()) {
        for (const Item& item : items_) {
            if (!item.removed && item.key == bytes && bytes != kCoverKey) {
                Replace(bytes, TagLib::ByteVector(), "");
                return true;
            }
        }
        return false;
    }
    const TagLib::ByteVector data = DataAtom(kUtf8, value.data(TagLib::String::UTF8));
    TagLib::ByteVector atom;
    if (bytes.compare(0, 5, kFreeForm) == 0) {
        const size_t colon = bytes.find(':', 5);
        if (colon == std::string::npos) return false;
        atom = Atom("----", LabelAtom("mean", bytes.substr(5, colon - 5)) +
                                LabelAtom("name", bytes.substr(colon + 1)) + data);
    } else {
        bool text = bytes.size() == 4 && static_cast<unsigned char>(bytes[0]) == 0xA9;
        for (const char* name : kTextAtoms) text = text || bytes == name;
        if (!text) return false;
        atom = Atom(TagLib::ByteVector(bytes.data(), 4), data);
    }
    Replace(bytes, atom, "");
    return true;
}

std::vector<StoredPicture> Mp4Items::Pictures() const {
    std::vector<StoredPicture> pictures;
    for (const Item& item : items_) {
        if (item.removed || item.key != kCoverKey) continue;
        for (const Data& data : DataAtoms(item.atom)) {
            if (!IsImage(data.type)) continue;
            StoredPicture picture;
            picture.data = data.payload;
            const char* mimeType = MimeTypeOf(data.type);
            const std::string sniffed = mimeType ? "" : PictureMimeType(data.payload);
            picture.mimeType = mimeType          ? mimeType
                               : sniffed.empty() ? "image/unknown"
                                                 : sniffed.c_str();
            pictures.push_back(picture);
        }
    }
    return pictures;
}

bool Mp4Items::PictureOfType(int type, StoredPicture* picture) const {
    return type == kFrontCoverType && Picture(picture);
}

bool Mp4Items::SetPictureOfType(int type, const TagLib::ByteVector& data,
                                const std::string& mimeType) {
    return type == kFrontCoverType && SetPicture(data, mimeType);
}

bool Mp4Items::RemovePicturesOfType(int type) {
    if (type != kFrontCoverType) return false;
    for (Item& item : items_) {
        if (item.removed || item.key != kCoverKey) continue;
        const std::vector<Data> atoms = DataAtoms(item.atom);
        for (const Data& old : atoms) {
            if (!IsImage(old.type)) continue;
            // The first image goes; the other images and atoms stay.
            TagLib::ByteVector content = item.atom.mid(8, old.offset - 8);
            content.append(item.atom.mid(old.offset + old.length));
            item.atom = Atom("covr", content);
            item.removed = atoms.size() == 1;
            return changed_ = true;
        }
    }
    return false;
}
