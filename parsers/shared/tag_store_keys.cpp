#include "parsers/shared/tag_store_keys.h"

#include "core/platform_file.h"
#include "lyParser.h"
#include "parsers/shared/picture_content.h"
#include "parsers/shared/property_fields.h"
#include "parsers/shared/tag_lib_text.h"

namespace {

constexpr int kFrontCover = 3;
constexpr int kLastPictureType = 20;  // "publisher logotype"

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

std::wstring Escaped(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
            case L'\\':
                escaped += L"\\\\";
                break;
            case L'\t':
                escaped += L"\\t";
                break;
            case L'\n':
                escaped += L"\\n";
                break;
            case L'\r':
                escaped += L"\\r";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::wstring Unescaped(const std::wstring& text) {
    std::wstring plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 == text.size()) {
            plain += text[i];
            continue;
        }
        const wchar_t next = text[++i];
        plain += next == L't' ? L'\t' : next == L'n' ? L'\n' : next == L'r' ? L'\r' : next;
    }
    return plain;
}

// The key after `prefix`, as the tag names it.
TagLib::String KeyAfter(const std::string& key, const char* prefix) {
    return ToTagText(
        Unescaped(StringEx(key.substr(std::char_traits<char>::length(prefix))).GetWide()));
}

// A picture type from its decimal text; -1 when it is none.
int PictureType(const std::string& text) {
    if (text.empty() || text.size() > 2) return -1;
    int type = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        type = type * 10 + (c - '0');
    }
    return type <= kLastPictureType ? type : -1;
}

std::wstring ItemLines(const TagStore* store) {
    std::wstring lines;
    for (const TagItem& item : store->Items()) {
        lines += Escaped(FromTagText(item.key)) + (item.binary ? L"\tbinary\t" : L"\ttext\t") +
                 (item.binary ? std::to_wstring(item.bytes) : Escaped(FromTagText(item.text))) +
                 L"\n";
    }
    return lines;
}

std::wstring PictureLines(const TagStore* store) {
    std::wstring lines;
    for (const StoredPicture& picture : store->Pictures()) {
        lines += (picture.type >= 0 ? std::to_wstring(picture.type) : L"") + L"\t" +
                 Escaped(FromTagText(picture.mimeType)) + L"\t" +
                 std::to_wstring(picture.data.size()) + L"\t" +
                 Escaped(FromTagText(picture.description)) + L"\n";
    }
    return lines;
}

}  // namespace

bool TagStoreKeys::Handles(const std::string& key) {
    return key == LYPARSER_KEY_ITEMS || StartsWith(key, LYPARSER_KEY_ITEM) || HandlesPictures(key);
}

bool TagStoreKeys::HandlesPictures(const std::string& key) {
    return key == LYPARSER_KEY_PICTURES || key == LYPARSER_KEY_SHOWN_PICTURE ||
           StartsWith(key, LYPARSER_KEY_PICTURE);
}

bool TagStoreKeys::ReadPictureFile(const std::string& path, TagLib::ByteVector* data,
                                   std::string* mimeType) {
    FilePtr file = OpenReadFile(path);
    const int64_t size = file ? FileLength(file.get()) : -1;
    if (size <= 0 || size > kMaxPictureBytes) return false;
    *data = TagLib::ByteVector(static_cast<unsigned int>(size), '\0');
    if (ReadAt(file.get(), 0, data->data(), size) != size) return false;
    *mimeType = PictureMimeType(*data);
    return !mimeType->empty();
}

bool TagStoreKeys::Adds(const std::string& key, const std::string& value) {
    return !value.empty() &&
           (StartsWith(key, LYPARSER_KEY_ITEM) || StartsWith(key, LYPARSER_KEY_PICTURE));
}

TagLib::String TagStoreKeys::Label(const StoredPicture& picture) {
    const TagLib::String label = "[" + picture.mimeType + "]";
    return picture.description.isEmpty() ? label : picture.description + " " + label;
}

StringEx TagStoreKeys::Get(const TagStore* store, const std::string& key) const {
    if (key == LYPARSER_KEY_SHOWN_PICTURE)
        return StringEx(shownType_ >= 0 ? std::to_string(shownType_) : std::string());
    if (!store) return StringEx(std::string());
    if (key == LYPARSER_KEY_ITEMS) return StringEx(ItemLines(store));
    if (key == LYPARSER_KEY_PICTURES) return StringEx(PictureLines(store));
    if (StartsWith(key, LYPARSER_KEY_ITEM))
        return StringEx(
            FromTagText(JoinValues(store->ItemValues(KeyAfter(key, LYPARSER_KEY_ITEM)))));
    StoredPicture picture;
    const int type = PictureType(key.substr(std::char_traits<char>::length(LYPARSER_KEY_PICTURE)));
    if (type < 0 || !store->PictureOfType(type, &picture)) return StringEx(std::string());
    return StringEx(FromTagText(Label(picture)));
}

TagStoreKeys::Result TagStoreKeys::Set(TagStore* store, const std::string& key, StringEx value,
                                       TagLib::String* item) {
    const std::wstring text = value.GetWide();
    if (key == LYPARSER_KEY_SHOWN_PICTURE) {
        const int type = PictureType(value.GetNarrow());
        if (!text.empty() && type < 0) return Result::kRefused;
        shownType_ = text.empty() ? -1 : type;
        return Result::kChosen;
    }
    if (StartsWith(key, LYPARSER_KEY_ITEM)) {
        *item = KeyAfter(key, LYPARSER_KEY_ITEM);
        const TagLib::String wanted = ToTagText(text);
        if (item->isEmpty()) return Result::kRefused;
        if (!store) return text.empty() ? Result::kUnchanged : Result::kRefused;
        if (store->ItemReads(*item, wanted)) return Result::kUnchanged;
        return store->SetItem(*item, wanted) ? Result::kItemChanged : Result::kRefused;
    }
    if (!StartsWith(key, LYPARSER_KEY_PICTURE)) return Result::kRefused;
    const int type = PictureType(key.substr(std::char_traits<char>::length(LYPARSER_KEY_PICTURE)));
    if (type < 0) return Result::kRefused;
    if (text.empty()) {
        return store && store->RemovePicturesOfType(type) ? Result::kPictureChanged
                                                          : Result::kUnchanged;
    }
    TagLib::ByteVector data;
    std::string mimeType;
    if (!store || !ReadPictureFile(NativePath(value), &data, &mimeType)) return Result::kRefused;
    StoredPicture current;
    if (store->PictureOfType(type, &current) && current.data == data &&
        current.mimeType == mimeType.c_str()) {
        return Result::kUnchanged;
    }
    return store->SetPictureOfType(type, data, mimeType) ? Result::kPictureChanged
                                                         : Result::kRefused;
}

bool TagStoreKeys::ShownPicture(const TagStore* store, StoredPicture* picture) const {
    if (!store) return false;
    if (shownType_ >= 0) return store->PictureOfType(shownType_, picture);
    return store->Picture(picture);
}

std::string TagStoreKeys::ItemState(const TagStore* store, const TagLib::String& key) {
    size_t count = 0;
    for (const TagItem& each : store->Items()) count += store->SameKey(each.key, key) ? 1 : 0;
    return std::to_string(count) + ":" + JoinValues(store->ItemValues(key)).to8Bit(true);
}

std::string TagStoreKeys::PicturesState(const TagStore* store) {
    std::string state;
    for (const StoredPicture& picture : store->Pictures()) {
        state += std::to_string(picture.type) + " " + picture.mimeType.to8Bit(true) + " " +
                 std::to_string(picture.data.size()) + "\n" +
                 std::string(picture.data.data(), picture.data.size());
    }
    return state;
}
