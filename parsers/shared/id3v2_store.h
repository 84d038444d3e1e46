// Id3v2Store: an ID3v2 tag by property name, by the frame rules MP3's second
// tag follows (Id3v2Frames): the text frames TIT2, TPE1, TALB, TDRC, TCON,
// TRCK, TCOM, TOPE, TCOP, TENC, TBPM and TPOS; the comment, lyrics and URL
// are the COMM, USLT and WXXX frames with an empty description; the picture
// is the front cover, else the first APIC frame. Its items are every frame
// but the pictures (id3v2_store_items.cpp). One thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_ID3V2_STORE_H
#define LYPARSER_PARSERS_SHARED_ID3V2_STORE_H

#include "parsers/shared/tag_store.h"

namespace TagLib {
namespace ID3v2 {
class Tag;
}
}  // namespace TagLib

class Id3v2Store : public TagStore {
public:
    // Does not take ownership; `tag` must outlive this object.
    explicit Id3v2Store(TagLib::ID3v2::Tag* tag) : tag_(tag) {}

    TagLib::StringList Values(const std::string& property) const override;
    bool SetValue(const std::string& property, const TagLib::String& value) override;
    bool Picture(StoredPicture* picture) const override;
    bool SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) override;
    bool RemovePictures() override;
    std::vector<TagItem> Items() const override;
    bool SetItem(const TagLib::String& key, const TagLib::String& value) override;
    std::vector<StoredPicture> Pictures() const override;
    bool SetPictureOfType(int type, const TagLib::ByteVector& data,
                          const std::string& mimeType) override;
    bool RemovePicturesOfType(int type) override;
    // True once anything was changed.
    bool Changed() const { return changed_; }

private:
    TagLib::ID3v2::Tag* tag_;
    bool changed_ = false;
};

#endif  // LYPARSER_PARSERS_SHARED_ID3V2_STORE_H
