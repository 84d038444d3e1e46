#include "parsers/ogg/ogg_picture_store.h"

#include "parsers/shared/flac_picture.h"
#include "parsers/shared/tag_lib_text.h"
#include "parsers/vorbis_comment/vorbis_comment_list.h"

namespace {

constexpr int kShown = -1;  // IndexOf: the picture a player shows

}  // namespace

TagLib::StringList OggPictureStore::Values(const std::string& property) const {
    TagLib::StringList values;
    for (const std::wstring& value : comments_->Values(property)) values.append(ToTagText(value));
    return values;
}

bool OggPictureStore::SetValue(const std::string& property, const TagLib::String& value) {
    return comments_->Set(property, StringEx(FromTagText(value)));
}

TagLib::ByteVector OggPictureStore::Structure(size_t index) const {
    if (!VorbisCommentList::SameName(comments_->NameAt(index), kPictureName)) return {};
    const std::string_view text = comments_->TextAt(index);
    const size_t from = text.find('=') + 1;
    return TagLib::ByteVector::fromBase64(
        TagLib::ByteVector(text.data() + from, static_cast<unsigned int>(text.size() - from)));
}

bool OggPictureStore::PictureAt(size_t index, StoredPicture* picture) const {
    return ReadFlacPicture(Structure(index), picture);
}

long OggPictureStore::IndexOf(int type) const {
    long first = -1;
    for (size_t i = 0; i < comments_->Count(); ++i) {
        StoredPicture picture;
        if (!PictureAt(i, &picture)) continue;
        if (picture.type == (type == kShown ? StoredPicture::kFrontCover : type))
            return static_cast<long>(i);
        if (first < 0 && type == kShown) first = static_cast<long>(i);
    }
    return first;
}

bool OggPictureStore::Picture(StoredPicture* picture) const {
    const long index = IndexOf(kShown);
    return index >= 0 && PictureAt(static_cast<size_t>(index), picture);
}

bool OggPictureStore::Put(long index, int type, const TagLib::ByteVector& data,
                          const std::string& mimeType) {
    const size_t at = index >= 0 ? static_cast<size_t>(index) : comments_->Count();
    const std::string name = index >= 0 ? comments_->NameAt(at) : kPictureName;
    const TagLib::ByteVector old = index >= 0 ? Structure(at) : TagLib::ByteVector();
    const TagLib::ByteVector encoded = MakeFlacPicture(old, type, data, mimeType).toBase64();
    return comments_->SetText(at, name + "=" + std::string(encoded.data(), encoded.size()));
}

bool OggPictureStore::SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) {
    return Put(IndexOf(kShown), StoredPicture::kFrontCover, data, mimeType);
}

bool OggPictureStore::RemovePictures() {
    bool any = false;
    for (size_t i = 0; i < comments_->Count() && !any; ++i)
        any = VorbisCommentList::SameName(comments_->NameAt(i), kPictureName);
    return comments_->Set(kPictureName, StringEx()) && any;
}

std::vector<StoredPicture> OggPictureStore::Pictures() const {
    std::vector<StoredPicture> pictures;
    for (size_t i = 0; i < comments_->Count(); ++i) {
        StoredPicture picture;
        if (PictureAt(i, &picture)) pictures.push_back(picture);
    }
    return pictures;
}

bool OggPictureStore::SetPictureOfType(int type, const TagLib::ByteVector& data,
                                       const std::string& mimeType) {
    return Put(IndexOf(type), type, data, mimeType);
}

bool OggPictureStore::RemovePicturesOfType(int type) {
    bool removed = false;
    for (long index; (index = IndexOf(type)) >= 0; removed = true) {
        if (!comments_->Remove(static_cast<size_t>(index))) return false;
    }
    return removed;
}
