// ID3v2ExtendedTag's picture operations, by the rules of Id3v2Frames: the
// picture shown is the front cover, else the first; a new one is a front
// cover whose MIME type is its content's, and every other picture stays.
#include <taglib/attachedpictureframe.h>

#include <cstring>

#include "core/platform_file.h"
#include "parsers/mpeg/id3v2_extended_tag.h"
#include "parsers/mpeg/tag_text.h"
#include "parsers/shared/picture_content.h"

using Text = ExtendedTag::Text;
namespace ID3v2 = TagLib::ID3v2;
using Picture = ID3v2::AttachedPictureFrame;

namespace {

constexpr int64_t kReadBlock = 1024;

// The whole file named by `fileName`'s characters taken as bytes, in
// 1024-byte reads; false when it cannot be opened or read.
bool ReadWholeFile(const Text& fileName, TagLib::ByteVector* data) {
    FilePtr file = OpenReadFile(fileName.to8Bit(false));
    if (!file) return false;
    char block[kReadBlock];
    for (int64_t offset = 0;;) {
        int64_t got = ReadAt(file.get(), offset, block, kReadBlock);
        if (got < 0) return false;
        if (got == 0) return true;
        data->append(TagLib::ByteVector(block, static_cast<unsigned int>(got)));
        offset += got;
    }
}

}  // namespace

bool ReadPictureFile(const Text& fileName, TagLib::ByteVector* data) {
    TagLib::ByteVector bytes;
    if (!ReadWholeFile(fileName, &bytes) || PictureMimeType(bytes).empty()) return false;
    *data = bytes;
    return true;
}

Text ID3v2ExtendedTag::pictureInfo() const {
    Picture* picture = frames_.ShownPicture();
    if (!picture) return Text();
    Text label = "[" + picture->mimeType() + "]";
    return picture->description().isEmpty() ? label : picture->description() + " " + label;
}

Text ID3v2ExtendedTag::pictureSize() const {
    Picture* picture = frames_.ShownPicture();
    return picture ? Text::number(static_cast<int>(picture->picture().size())) : Text();
}

unsigned int ID3v2ExtendedTag::copyPicture(unsigned char* destination) const {
    Picture* picture = frames_.ShownPicture();
    if (!picture || !destination) return 0;
    TagLib::ByteVector data = picture->picture();
    if (!data.isEmpty()) std::memcpy(destination, data.data(), data.size());
    return data.size();
}

bool ID3v2ExtendedTag::setPicture(const Text& fileName) {
    TagLib::ByteVector picture;
    if (!ReadPictureFile(fileName, &picture)) return false;
    setPictureData(picture);
    return true;
}

void ID3v2ExtendedTag::setPictureData(const TagLib::ByteVector& picture) {
    frames_.SetPicture(Id3v2Frames::kFrontCover, picture, PictureMimeType(picture));
}

void ID3v2ExtendedTag::removePictures() { frames_.RemovePictures(-1); }
