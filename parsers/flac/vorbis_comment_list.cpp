#include "parsers/flac/vorbis_comment_list.h"

#include "core/ascii.h"

namespace {

TagLib::ByteVector LittleEndian32(size_t value) {
    return TagLib::ByteVector::fromUInt(static_cast<unsigned int>(value), false);
}

}  // namespace

bool VorbisCommentList::Parse(const TagLib::ByteVector& data) {
    vendor_.clear();
    entries_.clear();
    changed_ = false;
    broken_ = true;
    unsigned int at = 0;
    // A length, then that many bytes; false past the end of the data.
    auto next = [&data, &at](TagLib::ByteVector* out) {
        if (data.size() - at < 4) return false;
        const unsigned int length = data.toUInt(at, false);
        at += 4;
        if (data.size() - at < length) return false;
        *out = data.mid(at, length);
        at += length;
        return true;
    };
    if (!next(&vendor_) || data.size() - at < 4) return false;
    const unsigned int count = data.toUInt(at, false);
    at += 4;
    for (unsigned int i = 0; i < count; ++i) {
        TagLib::ByteVector entry;
        if (!next(&entry)) return false;
        entries_.push_back(entry);
    }
    broken_ = false;
    return true;
}

TagLib::ByteVector VorbisCommentList::Render() const {
    TagLib::ByteVector data = LittleEndian32(vendor_.size());
    data.append(vendor_);
    data.append(LittleEndian32(entries_.size()));
    for (const TagLib::ByteVector& entry : entries_) {
        data.append(LittleEndian32(entry.size()));
        data.append(entry);
    }
    return data;
}

bool VorbisCommentList::NameIs(const TagLib::ByteVector& entry, const std::string& name) {
    if (entry.size() <= name.size() || entry[name.size()] != '=') return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (UpperAscii(entry[i]) != UpperAscii(name[i])) return false;
    }
    return true;
}

TagLib::StringList VorbisCommentList::Values(const std::string& name) const {
    TagLib::StringList values;
    for (const TagLib::ByteVector& entry : entries_) {
        if (!NameIs(entry, name)) continue;
        const unsigned int from = static_cast<unsigned int>(name.size()) + 1;
        TagLib::String value(entry.mid(from), TagLib::String::UTF8);
        if (!value.isEmpty()) values.append(value);
    }
    return values;
}

bool VorbisCommentList::Set(const std::string& name, const TagLib::String& value) {
    if (broken_) return false;
    size_t first = entries_.size();
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (NameIs(entries_[i], name)) {
            first = i;
            break;
        }
    }
    TagLib::ByteVector spelling =
        first < entries_.size() ? entries_[first].mid(0, static_cast<unsigned int>(name.size()))
                                : TagLib::ByteVector(name.c_str());
    TagLib::ByteVector entry = spelling;
    entry.append('=');
    entry.append(value.data(TagLib::String::UTF8));
    std::vector<TagLib::ByteVector> kept;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (i == first && !value.isEmpty()) {
            kept.push_back(entry);
        } else if (!NameIs(entries_[i], name)) {
            kept.push_back(entries_[i]);
        }
    }
    if (first == entries_.size() && !value.isEmpty()) kept.push_back(entry);
    changed_ = changed_ || kept != entries_;
    entries_ = std::move(kept);
    return true;
}
