#include "parsers/shared/layered_store.h"

TagLib::StringList LayeredStore::Values(const std::string& property) const {
    TagLib::StringList values = first_->Values(property);
    for (size_t i = 0; values.isEmpty() && i < others_.size(); ++i) {
        if (others_[i]) values = others_[i]->Values(property);
    }
    return values;
}

bool LayeredStore::SetValue(const std::string& property, const TagLib::String& value) {
    if (!first_->SetValue(property, value)) return false;
    for (TagStore* other : others_) {
        if (other) other->SetValue(property, value);
    }
    return true;
}
