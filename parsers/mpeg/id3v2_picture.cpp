// ID3v2ExtendedTag's picture operations: the first APIC frame answers, and a
// new picture replaces every earlier one.
#include <taglib/attachedpictureframe.h>

#include <cstring>

#include "core/platform_file.h"
#include "parsers/mpeg/id3v2_extended_tag.h"
#include "parsers/mpeg/tag_text.h"

using Text = ExtendedTag::Text;
namespace ID3v2 = TagLib::ID3v2;

namespace {

constexpr int64_t kReadBlock = 1024;

ID3v2::AttachedPictureFrame* FirstPicture(ID3v2::Tag* tag) {
    const ID3v2::FrameListMap& frames = tag->frameListMap();
    auto it = frames.find("APIC");
    if (it == frames.end()) return nullptr;
    for (ID3v2::Frame* frame : it->second) {
        if (auto* picture = dynamic_cast<ID3v2::AttachedPictureFrame*>(frame)) return picture;
    }
    return nullptr;
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

Text ID3v2ExtendedTag::pictureInfo() const {
    ID3v2::AttachedPictureFrame* picture = FirstPicture(tag_);
    if (!picture) return Text();
    Text label = "[" + picture->mimeType() + "]";
    return picture->description().isEmpty() ? label : picture->description() + " " + label;
}

Text ID3v2ExtendedTag::pictureSize() const {
    ID3v2::AttachedPictureFrame* picture = FirstPicture(tag_);
    return picture ? Text::number(static_cast<int>(picture->picture().size())) : Text();
}

unsigned int ID3v2ExtendedTag::copyPicture(unsigned char* destination) const {
    ID3v2::AttachedPictureFrame* picture = FirstPicture(tag_);
    if (!picture || !destination) return 0;
    TagLib::ByteVector data = picture->picture();
    if (!data.isEmpty()) std::memcpy(destination, data.data(), data.size());
    return data.size();
}

void ID3v2ExtendedTag::setPicture(const Text& fileName) {
    TagLib::ByteVector data;
    if (!ReadWholeFile(fileName, &data)) return;
    removePictures();
    auto* picture = new ID3v2::AttachedPictureFrame();
    picture->setTextEncoding(TagLib::String::Latin1);
    picture->setMimeType("image/jpeg");
    picture->setType(ID3v2::AttachedPictureFrame::Other);
    picture->setDescription(Text());
    picture->setPicture(data);
    tag_->addFrame(picture);
}

void ID3v2ExtendedTag::removePictures() { tag_->removeFrames("APIC"); }
