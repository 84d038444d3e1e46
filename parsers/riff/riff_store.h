// RiffStore: the tag of a WAV or AIFF file: its ID3v2 chunk, with the frame
// rules of MP3's second tag (Id3v2Store). A WAV file's LIST/INFO chunk, which
// ffmpeg and Windows write, answers the fields the ID3v2 chunk lacks; it is
// never written, so a field that only it holds cannot be removed (the change
// is refused rather than left without effect). One thread at a time.
#ifndef LYPARSER_PARSERS_RIFF_RIFF_STORE_H
#define LYPARSER_PARSERS_RIFF_RIFF_STORE_H

#include "parsers/shared/id3v2_store.h"

namespace TagLib {
namespace RIFF {
namespace Info {
class Tag;
}
}  // namespace RIFF
}  // namespace TagLib

class RiffStore : public TagStore {
public:
    // Does not take ownership; both must outlive this object. `info` may be null.
    RiffStore(TagLib::ID3v2::Tag* id3v2, const TagLib::RIFF::Info::Tag* info)
        : id3v2_(id3v2), info_(info) {}

    TagLib::StringList Values(const std::string& property) const override;
    bool SetValue(const std::string& property, const TagLib::String& value) override;
    bool Picture(StoredPicture* picture) const override { return id3v2_.Picture(picture); }
    bool SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) override {
        return id3v2_.SetPicture(data, mimeType);
    }
    bool RemovePictures() override { return id3v2_.RemovePictures(); }
    std::vector<TagItem> Items() const override { return id3v2_.Items(); }
    bool SetItem(const TagLib::String& key, const TagLib::String& value) override {
        return id3v2_.SetItem(key, value);
    }
    bool SameKey(const TagLib::String& a, const TagLib::String& b) const override {
        return id3v2_.SameKey(a, b);
    }
    std::vector<StoredPicture> Pictures() const override { return id3v2_.Pictures(); }
    bool SetPictureOfType(int type, const TagLib::ByteVector& data,
                          const std::string& mimeType) override {
        return id3v2_.SetPictureOfType(type, data, mimeType);
    }
    bool RemovePicturesOfType(int type) override { return id3v2_.RemovePicturesOfType(type); }

private:
    TagLib::StringList InfoValues(const std::string& property) const;

    Id3v2Store id3v2_;
    const TagLib::RIFF::Info::Tag* info_;
};

#endif  // LYPARSER_PARSERS_RIFF_RIFF_STORE_H
