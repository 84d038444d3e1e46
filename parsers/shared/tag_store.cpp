#include "parsers/shared/tag_store.h"

#include "parsers/shared/property_fields.h"

bool TagStore::PictureOfType(int type, StoredPicture* picture) const {
    for (const StoredPicture& each : Pictures()) {
        if (each.type != type) continue;
        *picture = each;
        return true;
    }
    return false;
}

TagLib::StringList TagStore::ItemValues(const TagLib::String& key) const {
    TagLib::StringList values;
    for (const TagItem& item : Items()) {
        if (!item.binary && !item.text.isEmpty() && SameKey(item.key, key))
            values.append(item.text);
    }
    return values;
}

bool TagStore::ItemReads(const TagLib::String& key, const TagLib::String& value) const {
    bool any = false;
    for (const TagItem& item : Items()) {
        if (!SameKey(item.key, key)) continue;
        if (item.binary) return false;
        any = true;
    }
    if (value.isEmpty()) return !any;
    return any && JoinValues(ItemValues(key)) == value;
}
