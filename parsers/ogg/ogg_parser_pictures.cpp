// COGGParser: the pictures of Opus files, held as METADATA_BLOCK_PICTURE
// comments (a FLAC picture block in base64). The picture a player shows is
// the front cover, else the first; setting one replaces that comment in its
// place and keeps every other picture. A picture is decoded only when it is
// asked for.
#include <taglib/flacpicture.h>

#include <cstring>

#include "core/platform_file.h"
#include "parsers/ogg/ogg_parser.h"
#include "parsers/shared/picture_content.h"
#include "parsers/shared/tag_lib_text.h"

namespace {

constexpr char kPictureName[] = "METADATA_BLOCK_PICTURE";
constexpr int64_t kMaxPictureBytes = (16 << 20) - 64;

// Reads comment `index` of `comments` as a picture; false when it is none.
bool PictureAt(const VorbisCommentList& comments, size_t index, TagLib::FLAC::Picture* picture) {
    if (!VorbisCommentList::SameName(comments.NameAt(index), kPictureName)) return false;
    const std::string_view text = comments.TextAt(index);
    const size_t from = text.find('=') + 1;
    const TagLib::ByteVector block = TagLib::ByteVector::fromBase64(
        TagLib::ByteVector(text.data() + from, static_cast<unsigned int>(text.size() - from)));
    return !block.isEmpty() && picture->parse(block);
}

// The index of the picture a player shows, or -1.
long ShownPicture(const VorbisCommentList& comments) {
    long first = -1;
    for (size_t i = 0; i < comments.Count(); ++i) {
        TagLib::FLAC::Picture picture;
        if (!PictureAt(comments, i, &picture)) continue;
        if (picture.type() == TagLib::FLAC::Picture::FrontCover) return static_cast<long>(i);
        if (first < 0) first = static_cast<long>(i);
    }
    return first;
}

}  // namespace

StringEx COGGParser::PictureField(int fieldId) {
    const long index = ShownPicture(comments_);
    TagLib::FLAC::Picture picture;
    if (index < 0 || !PictureAt(comments_, static_cast<size_t>(index), &picture))
        return StringEx(std::string());
    if (fieldId == FIELD_PICTURE_INFO) return StringEx(std::to_string(picture.data().size()));
    TagLib::String label = "[" + picture.mimeType() + "]";
    if (!picture.description().isEmpty()) label = picture.description() + " " + label;
    return StringEx(FromTagText(label));
}

int COGGParser::SetPictureFile(StringEx path) {
    FilePtr file = OpenReadFile(NativePath(path));
    const int64_t size = file ? FileLength(file.get()) : -1;
    if (size <= 0 || size > kMaxPictureBytes) return 0;
    TagLib::ByteVector data(static_cast<unsigned int>(size), '\0');
    if (ReadAt(file.get(), 0, data.data(), size) != size) return 0;
    const std::string mimeType = PictureMimeType(data);
    if (mimeType.empty()) return 0;  // not an image a player shows
    const long index = ShownPicture(comments_);
    TagLib::FLAC::Picture picture;
    std::string name = kPictureName;
    if (index >= 0) {
        PictureAt(comments_, static_cast<size_t>(index), &picture);
        if (picture.data() == data && picture.mimeType() == mimeType.c_str()) return 1;
        name = comments_.NameAt(static_cast<size_t>(index));
    }
    picture.setType(TagLib::FLAC::Picture::FrontCover);
    picture.setMimeType(mimeType);
    picture.setData(data);
    // What the old image was (its size and colours) says nothing of this one.
    picture.setWidth(0);
    picture.setHeight(0);
    picture.setColorDepth(0);
    picture.setNumColors(0);
    const TagLib::ByteVector encoded = picture.render().toBase64();
    const size_t at = index >= 0 ? static_cast<size_t>(index) : comments_.Count();
    return comments_.SetText(at, name + "=" + std::string(encoded.data(), encoded.size())) ? 1 : 0;
}

int COGGParser::DeleteAttachedPicture() {
    if (codec_ != OggCodec::kOpus || openedFromMemory_) return IBaseTag::DeleteAttachedPicture();
    return comments_.Set(kPictureName, StringEx()) ? 1 : 0;
}

int COGGParser::GetAttachedPictureData(void* destination) {
    if (codec_ != OggCodec::kOpus || !destination) return 0;
    const long index = ShownPicture(comments_);
    TagLib::FLAC::Picture picture;
    if (index < 0 || !PictureAt(comments_, static_cast<size_t>(index), &picture)) return 0;
    std::memcpy(destination, picture.data().data(), picture.data().size());
    return static_cast<int>(picture.data().size());
}
