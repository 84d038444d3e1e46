// LayeredStore: the tags of one file seen as one. The first tag answers and
// takes every change; the others (an ID3v2 or ID3v1 tag beside a FLAC or APE
// tag, a WAV file's INFO list) fill in the values it lacks, in order, and
// take each change they have a place for, so that none of them is left
// stale. Pictures and items are the first tag's. One thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_LAYERED_STORE_H
#define LYPARSER_PARSERS_SHARED_LAYERED_STORE_H

#include <vector>

#include "parsers/shared/tag_store.h"

class LayeredStore : public TagStore {
public:
    // Does not take ownership; every store must outlive this one. Null
    // entries among `others` are skipped.
    LayeredStore(TagStore* first, std::vector<TagStore*> others)
        : first_(first), others_(std::move(others)) {}

    TagLib::StringList Values(const std::string& property) const override;
    bool SetValue(const std::string& property, const TagLib::String& value) override;
    bool Picture(StoredPicture* picture) const override { return first_->Picture(picture); }
    bool SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) override {
        return first_->SetPicture(data, mimeType);
    }
    bool RemovePictures() override { return first_->RemovePictures(); }
    std::vector<TagItem> Items() const override { return first_->Items(); }
    bool SetItem(const TagLib::String& key, const TagLib::String& value) override {
        return first_->SetItem(key, value);
    }
    bool SameKey(const TagLib::String& a, const TagLib::String& b) const override {
        return first_->SameKey(a, b);
    }
    std::vector<StoredPicture> Pictures() const override { return first_->Pictures(); }
    bool SetPictureOfType(int type, const TagLib::ByteVector& data,
                          const std::string& mimeType) override {
        return first_->SetPictureOfType(type, data, mimeType);
    }
    bool RemovePicturesOfType(int type) override { return first_->RemovePicturesOfType(type); }

private:
    TagStore* first_;
    std::vector<TagStore*> others_;
};

#endif  // LYPARSER_PARSERS_SHARED_LAYERED_STORE_H
