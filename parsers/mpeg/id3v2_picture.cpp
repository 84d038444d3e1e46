// ID3v2ExtendedTag's picture operations. The picture shown is the front
// cover, else the first picture; a new picture takes the front cover's place
// (or that of a lone picture of type "other", as this module used to write
// them) and keeps every other picture, and its MIME type is its content's.
#include <taglib/attachedpictureframe.h>

#include <cstring>
#include <vector>

#include "core/platform_file.h"
#include "parsers/mpeg/id3v2_extended_tag.h"
#include "parsers/mpeg/tag_text.h"
#include "parsers/shared/picture_content.h"

using Text = ExtendedTag::Text;
namespace ID3v2 = TagLib::ID3v2;
using Picture = ID3v2::AttachedPictureFrame;

namespace {

constexpr int64_t kReadBlock = 1024;

std::vector<Picture*> Pictures(ID3v2::Tag* tag) {
    std::vector<Picture*> found;
    for (ID3v2::Frame* frame : tag->frameList("APIC")) {
        if (auto* picture = dynamic_cast<Picture*>(frame)) found.push_back(picture);
    }
    return found;
}

Picture* FrontCover(const std::vector<Picture*>& pictures) {
    for (Picture* picture : pictures) {
        if (picture->type() == Picture::FrontCover) return picture;
    }
    return nullptr;
}

// The picture the fields answer: the front cover, else the first.
Picture* ShownPicture(ID3v2::Tag* tag) {
    std::vector<Picture*> pictures = Pictures(tag);
    if (Picture* cover = FrontCover(pictures)) return cover;
    return pictures.empty() ? nullptr : pictures.front();
}

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
    Picture* picture = ShownPicture(tag_);
    if (!picture) return Text();
    Text label = "[" + picture->mimeType() + "]";
    return picture->description().isEmpty() ? label : picture->description() + " " + label;
}

Text ID3v2ExtendedTag::pictureSize() const {
    Picture* picture = ShownPicture(tag_);
    return picture ? Text::number(static_cast<int>(picture->picture().size())) : Text();
}

unsigned int ID3v2ExtendedTag::copyPicture(unsigned char* destination) const {
    Picture* picture = ShownPicture(tag_);
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
    std::vector<Picture*> pictures = Pictures(tag_);
    Picture* frame = FrontCover(pictures);
    if (!frame && pictures.size() == 1 && pictures.front()->type() == Picture::Other)
        frame = pictures.front();
    if (!frame) {
        frame = new Picture();
        tag_->addFrame(frame);
    }
    frame->setTextEncoding(TagLib::String::Latin1);
    frame->setMimeType(PictureMimeType(picture));
    frame->setType(Picture::FrontCover);
    frame->setDescription(Text());
    frame->setPicture(picture);
}

void ID3v2ExtendedTag::removePictures() { tag_->removeFrames("APIC"); }
