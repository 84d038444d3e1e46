// ApeStore: an APE tag by property name. Items keep the key TagLib's
// property map gives them (YEAR is DATE, TRACK is TRACKNUMBER, DISC is
// DISCNUMBER; other names are their own), compared without regard to case;
// a changed item keeps its key's spelling. The picture is the binary item
// "Cover Art (Front)", else the first other "Cover Art (...)" item; its value
// is a file name, a zero byte and the image. Its items are every item but
// the "Cover Art (...)" pictures, keys compared without regard to case; its
// pictures those items, typed by the name in the parentheses (Front, Back,
// Artist, ...). One thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_APE_STORE_H
#define LYPARSER_PARSERS_SHARED_APE_STORE_H

#include "parsers/shared/tag_store.h"

namespace TagLib {
namespace APE {
class Tag;
}
}  // namespace TagLib

class ApeStore : public TagStore {
public:
    // Does not take ownership; `tag` must outlive this object.
    explicit ApeStore(TagLib::APE::Tag* tag) : tag_(tag) {}

    TagLib::StringList Values(const std::string& property) const override;
    bool SetValue(const std::string& property, const TagLib::String& value) override;
    bool Picture(StoredPicture* picture) const override;
    bool SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) override;
    bool RemovePictures() override;
    std::vector<TagItem> Items() const override;
    bool SetItem(const TagLib::String& key, const TagLib::String& value) override;
    bool SameKey(const TagLib::String& a, const TagLib::String& b) const override;
    std::vector<StoredPicture> Pictures() const override;
    bool SetPictureOfType(int type, const TagLib::ByteVector& data,
                          const std::string& mimeType) override;
    bool RemovePicturesOfType(int type) override;

private:
    TagLib::String ShownPictureKey() const;
    // Puts `data` under `key` (keeping the spelling of an item of that key).
    void PutPicture(const TagLib::String& key, const TagLib::ByteVector& data,
                    const std::string& mimeType);

    TagLib::APE::Tag* tag_;
};

#endif  // LYPARSER_PARSERS_SHARED_APE_STORE_H
