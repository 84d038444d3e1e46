// Id3v1Store: an ID3v1 tag by property name. It has a place only for the
// seven basic fields: the year and track as numbers, the genre as one of the
// ID3v1 names. One thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_ID3V1_STORE_H
#define LYPARSER_PARSERS_SHARED_ID3V1_STORE_H

#include "parsers/shared/tag_store.h"

namespace TagLib {
namespace ID3v1 {
class Tag;
}
}  // namespace TagLib

class Id3v1Store : public TagStore {
public:
    // Does not take ownership; `tag` must outlive this object.
    explicit Id3v1Store(TagLib::ID3v1::Tag* tag) : tag_(tag) {}

    TagLib::StringList Values(const std::string& property) const override;
    bool SetValue(const std::string& property, const TagLib::String& value) override;
    // True once a value was set.
    bool Changed() const { return changed_; }

private:
    TagLib::ID3v1::Tag* tag_;
    bool changed_ = false;
};

#endif  // LYPARSER_PARSERS_SHARED_ID3V1_STORE_H
