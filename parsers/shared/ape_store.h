// ApeStore: an APE tag by property name. Items keep the key TagLib's
// property map gives them (YEAR is DATE, TRACK is TRACKNUMBER, DISC is
// DISCNUMBER; other names are their own), compared without regard to case;
// a changed item keeps its key's spelling. The picture is the binary item
// "Cover Art (Front)", else the first other "Cover Art (...)" item; its value
// is a file name, a zero byte and the image. One thread at a time.
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

private:
    TagLib::String ShownPictureKey() const;

    TagLib::APE::Tag* tag_;
};

#endif  // LYPARSER_PARSERS_SHARED_APE_STORE_H
