#include "parsers/wma/wma_header_editor.h"

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/tbytevectorstream.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/code_page.h"
#include "core/platform_file.h"

namespace {

// The most of a header read into memory for reading attributes.
constexpr uint64_t kMaxHeaderInMemory = 256u << 20;

using Guid = unsigned char[16];

const Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Guid kContentEncryption = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                 0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
const Guid kExtendedContentEncryption = {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C,
                                         0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C};

bool SameGuid(const TagLib::ByteVector& bytes, const Guid& guid) {
    return bytes.size() >= 16 && std::equal(guid, guid + 16, bytes.data(),
                                            [](unsigned char a, char b) {
                                                return a == static_cast<unsigned char>(b);
                                            });
}

uint64_t LittleEndian(const TagLib::ByteVector& bytes, unsigned offset, unsigned width) {
    uint64_t value = 0;
    for (unsigned i = width; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

const Guid kHeaderExtension = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                               0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};

struct HeaderScan {
    bool encrypted = false;
    // The header lies inside the file and its objects fill it exactly, as
    // many as it counts: only then may TagLib rewrite it, since it writes
    // back only the objects it could parse.
    bool wellFormed = false;
};

// Reads the 24-byte object header at `position`; false at the end of the file.
bool ReadObjectHeader(TagLib::File& file, int64_t position, TagLib::ByteVector* header) {
    file.seek(static_cast<long>(position));
    *header = file.readBlock(24);
    return header->size() == 24;
}

// True when the objects inside the Header Extension Object at `position`
// (of `size` bytes) fill its data exactly.
bool ExtensionHoldsTogether(TagLib::File& file, int64_t position, uint64_t size) {
    if (size < 46) return false;
    file.seek(static_cast<long>(position + 24));
    TagLib::ByteVector fields = file.readBlock(22);
    if (fields.size() < 22 || LittleEndian(fields, 18, 4) != size - 46) return false;
    const int64_t end = position + static_cast<int64_t>(size);
    TagLib::ByteVector object;
    for (int64_t at = position + 46; at < end;) {
        if (end - at < 24 || !ReadObjectHeader(file, at, &object)) return false;
        const uint64_t objectSize = LittleEndian(object, 16, 8);
        if (objectSize < 24 || objectSize > static_cast<uint64_t>(end - at)) return false;
        at += static_cast<int64_t>(objectSize);
    }
    return true;
}

// Looks through the objects directly inside the ASF Header Object for a
// Content Encryption or Extended Content Encryption object, and checks that
// the header holds together. Reads object headers only, never past the file.
HeaderScan ScanHeader(TagLib::File& file) {
    HeaderScan scan;
    const int64_t length = file.length();
    file.seek(0);
    TagLib::ByteVector head = file.readBlock(30);
    if (head.size() < 30 || !SameGuid(head, kHeaderObject)) return scan;
    const uint64_t headerSize = LittleEndian(head, 16, 8);
    const uint64_t count = LittleEndian(head, 24, 4);
    const int64_t end = static_cast<int64_t>(std::min<uint64_t>(headerSize, length));
    bool intact = headerSize >= 30 && headerSize <= static_cast<uint64_t>(length);
    int64_t position = 30;
    uint64_t seen = 0;
    TagLib::ByteVector object;
    while (end - position >= 24 && ReadObjectHeader(file, position, &object)) {
        scan.encrypted = scan.encrypted || SameGuid(object, kContentEncryption) ||
                         SameGuid(object, kExtendedContentEncryption);
        const uint64_t size = LittleEndian(object, 16, 8);
        if (size < 24 || size > static_cast<uint64_t>(end - position)) {
            intact = false;
            break;
        }
        if (SameGuid(object, kHeaderExtension) && !ExtensionHoldsTogether(file, position, size)) intact = false;
        position += static_cast<int64_t>(size);
        ++seen;
    }
    scan.wellFormed = intact && position == static_cast<int64_t>(headerSize) && seen == count;
    return scan;
}

TagLib::String ToTagLib(const std::wstring& text) {
    return TagLib::String(WideToUtf8(text), TagLib::String::UTF8);
}

std::wstring FromTagLib(const TagLib::String& text) { return Utf8ToWide(text.to8Bit(true)); }

// The content-description fields, which TagLib keeps outside its attribute map.
struct ContentField {
    const wchar_t* name;
    TagLib::String (TagLib::ASF::Tag::*get)() const;
    void (TagLib::ASF::Tag::*set)(const TagLib::String&);
};

const ContentField kContentFields[] = {
    {L"Title", &TagLib::ASF::Tag::title, &TagLib::ASF::Tag::setTitle},
    {L"Author", &TagLib::ASF::Tag::artist, &TagLib::ASF::Tag::setArtist},
    {L"Copyright", &TagLib::ASF::Tag::copyright, &TagLib::ASF::Tag::setCopyright},
    {L"Description", &TagLib::ASF::Tag::comment, &TagLib::ASF::Tag::setComment},
    {L"Rating", &TagLib::ASF::Tag::rating, &TagLib::ASF::Tag::setRating},
};

const ContentField* FindContentField(const std::wstring& name) {
    for (const ContentField& field : kContentFields) {
        if (name == field.name) return &field;
    }
    return nullptr;
}

// Removes every stream-0 attribute of `name`, of any type.
void RemoveStreamZero(TagLib::ASF::Tag* tag, const TagLib::String& name) {
    TagLib::ASF::AttributeListMap& map = tag->attributeListMap();
    if (!map.contains(name)) return;
    TagLib::ASF::AttributeList kept;
    for (const TagLib::ASF::Attribute& attribute : map[name]) {
        if (attribute.stream() != 0) kept.append(attribute);
    }
    if (kept.isEmpty()) {
        map.erase(name);
    } else {
        map[name] = kept;
    }
}

bool FitsAsfText(const std::wstring& text) { return WideToUtf16(text).size() <= kMaxAsfTextUnits; }

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return text;
}

}  // namespace

CWMAHeaderEditor::CWMAHeaderEditor() = default;

CWMAHeaderEditor::~CWMAHeaderEditor() = default;

int CWMAHeaderEditor::OpenEditor(const wchar_t* path) {
    if (!path) return 0;
    pathIsWide_ = true;
    widePath_ = path;
    return Open(NativePathW(widePath_));
}

int CWMAHeaderEditor::OpenEditor(const char* path) {
    if (!path) return 0;
    pathIsWide_ = false;
    narrowPath_ = path;
    return Open(narrowPath_);
}

int CWMAHeaderEditor::Open(const std::string& nativePath) {
    editor_.reset();
    header_.reset();
    int64_t size = 0;
    // TagLib opens whatever it is given; make sure that is never a FIFO or device.
    if (!RegularFileSize(nativePath, &size)) return 0;
    try {
        return Adopt(std::make_unique<TagLib::ASF::File>(nativePath.c_str(), false));
    } catch (...) {
        editor_.reset();
        return 0;
    }
}

int CWMAHeaderEditor::OpenEditorOnFile(std::FILE* file, int64_t length) {
    editor_.reset();
    header_.reset();
    unsigned char start[30];
    if (ReadAt(file, 0, start, sizeof start) != static_cast<int64_t>(sizeof start)) return 0;
    uint64_t headerSize = 0;
    for (int i = 7; i >= 0; --i) headerSize = (headerSize << 8) | start[16 + i];
    // The header is all TagLib reads; a size beyond the file is cut to it.
    const int64_t size = static_cast<int64_t>(std::min<uint64_t>(
        {headerSize, static_cast<uint64_t>(std::max<int64_t>(length, 0)), kMaxHeaderInMemory}));
    try {
        TagLib::ByteVector bytes(static_cast<unsigned>(size), '\0');
        if (ReadAt(file, 0, bytes.data(), size) != size) return 0;
        header_ = std::make_unique<TagLib::ByteVectorStream>(bytes);
        return Adopt(std::make_unique<TagLib::ASF::File>(header_.get(), false));
    } catch (...) {
        editor_.reset();
        header_.reset();
        return 0;
    }
}

int CWMAHeaderEditor::Adopt(std::unique_ptr<TagLib::ASF::File> file) {
    if (!file->isOpen() || !file->isValid()) return 0;
    editor_ = std::move(file);
    const HeaderScan scan = ScanHeader(*editor_);
    isProtected_ = scan.encrypted ? 1 : 0;
    wellFormed_ = scan.wellFormed;
    ReadAttributesEx();
    return 1;
}

void CWMAHeaderEditor::ReadAttributesEx() {
    TagLib::ASF::Tag* tag = editor_->tag();
    std::map<std::wstring, std::vector<std::wstring>> values;
    for (const ContentField& field : kContentFields) {
        TagLib::String value = (tag->*field.get)();
        if (!value.isEmpty()) values[field.name].push_back(FromTagLib(value));
    }
    const TagLib::ASF::AttributeListMap& map = tag->attributeListMap();
    for (auto it = map.begin(); it != map.end(); ++it) {
        for (const TagLib::ASF::Attribute& attribute : it->second) {
            if (attribute.stream() != 0 || attribute.type() != TagLib::ASF::Attribute::UnicodeType) {
                continue;
            }
            values[FromTagLib(it->first)].push_back(FromTagLib(attribute.toString()));
        }
    }
    for (const auto& entry : values) {
        std::wstring joined;
        for (size_t i = 0; i < entry.second.size(); ++i) {
            if (i > 0) joined += L';';
            joined += entry.second[i];
        }
        StoreAttribute(entry.first, joined);
    }
}

void CWMAHeaderEditor::StoreAttribute(const std::wstring& name, const std::wstring& value) {
    cache_[UpperAscii(WideToCodePage(name))] = StringEx(value);
}

StringEx CWMAHeaderEditor::FindAttribute(const char* name) {
    return cache_[UpperAscii(name ? name : "")];
}

int CWMAHeaderEditor::SetPending(const char* name, const char* value) {
    pending_[name ? name : ""] = value ? value : "";
    return 1;
}

int CWMAHeaderEditor::ApplyPending() {
    // An editor over an in-memory header cannot change the file, and a header
    // that does not hold together is never rewritten.
    if (!editor_ || header_ || !wellFormed_) return 0;
    // Check everything first: a change that cannot be stored leaves the file as it was.
    for (const auto& change : pending_) {
        if (!FitsAsfText(CodePageToWide(change.first)) || !FitsAsfText(CodePageToWide(change.second))) {
            return 0;
        }
    }
    try {
        for (const auto& change : pending_) {
            if (!WriteAttributeEx(change.first, change.second)) return 0;
        }
    } catch (...) {
        modified_ = false;
        return 0;
    }
    return 1;
}

int CWMAHeaderEditor::WriteAttributeEx(const std::string& name, const std::string& value) {
    const std::wstring wideName = CodePageToWide(name);
    // A field without an attribute name has nowhere to go.
    if (wideName.empty()) return 1;
    const std::wstring wideValue = CodePageToWide(value);
    TagLib::ASF::Tag* tag = editor_->tag();
    const TagLib::String tagName = ToTagLib(wideName);
    const TagLib::String tagValue = ToTagLib(wideValue);
    RemoveStreamZero(tag, tagName);
    if (const ContentField* field = FindContentField(wideName)) {
        (tag->*field->set)(tagValue);
    } else if (!wideValue.empty()) {
        tag->addAttribute(tagName, TagLib::ASF::Attribute(tagValue));
    }
    modified_ = true;
    return 1;
}

int CWMAHeaderEditor::CloseEditor() {
    int saved = 1;
    if (editor_ && modified_) {
        try {
            saved = editor_->save() ? 1 : 0;
        } catch (...) {
            saved = 0;
        }
        modified_ = false;
    }
    editor_.reset();
    header_.reset();
    return saved;
}

void CWMAHeaderEditor::ClearMaps() {
    pending_.clear();
    cache_.clear();
}
