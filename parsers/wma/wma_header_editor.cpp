#include "parsers/wma/wma_header_editor.h"

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/tbytevectorstream.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/ascii.h"
#include "core/code_page.h"
#include "core/failure_reason.h"
#include "core/platform_file.h"
#include "parsers/shared/spliced_file_stream.h"
#include "parsers/shared/tag_lib_text.h"
#include "parsers/wma/asf_guid.h"
#include "parsers/wma/asf_header_scan.h"
#include "parsers/wma/asf_tag_edits.h"

namespace {

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

constexpr unsigned kAsfHeaderStart = 24;   // the Header Object's GUID and size
constexpr unsigned kAsfObjectHeader = 24;  // any object's GUID and size
constexpr unsigned kAsfFirstChild = 30;    // the Header Object's own fields come first

bool FitsAsfText(const std::wstring& text) { return WideToUtf16(text).size() <= kMaxAsfTextUnits; }

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
    file_.reset();
    // Check the header before TagLib parses it; the check's open also makes
    // sure the name is a regular file, never a FIFO or device.
    std::vector<unsigned char> header;
    AsfHeaderScan scan;
    {
        FilePtr file = OpenReadFile(nativePath);
        if (!file || !ReadAsfHeader(file.get(), FileLength(file.get()), &header)) return 0;
        scan = ScanAsfHeader(header, FileLength(file.get()));
    }
    if (!scan.parseable) return 0;
    try {
        file_ = std::make_unique<SplicedFileStream>(nativePath);
        if (!file_->isOpen()) return 0;
        identity_ = file_->Identity();
        return Adopt(std::make_unique<TagLib::ASF::File>(file_.get(), false), scan, header);
    } catch (...) {
        editor_.reset();
        file_.reset();
        return 0;
    }
}

int CWMAHeaderEditor::OpenEditorOnFile(std::FILE* file, int64_t length) {
    editor_.reset();
    header_.reset();
    file_.reset();
    std::vector<unsigned char> header;
    if (!ReadAsfHeader(file, length, &header)) return 0;
    const AsfHeaderScan scan = ScanAsfHeader(header, length);
    if (!scan.parseable) return 0;
    try {
        TagLib::ByteVector bytes(reinterpret_cast<const char*>(header.data()),
                                 static_cast<unsigned>(header.size()));
        header_ = std::make_unique<TagLib::ByteVectorStream>(bytes);
        return Adopt(std::make_unique<TagLib::ASF::File>(header_.get(), false), scan, header);
    } catch (...) {
        editor_.reset();
        header_.reset();
        return 0;
    }
}

int CWMAHeaderEditor::Adopt(std::unique_ptr<TagLib::ASF::File> file, const AsfHeaderScan& scan,
                            const std::vector<unsigned char>& header) {
    if (!file->isOpen() || !file->isValid()) return 0;
    editor_ = std::move(file);
    isProtected_ = scan.encrypted ? 1 : 0;
    wellFormed_ = scan.wellFormed;
    const AsfAttributeLayout layout = ReadAsfAttributeLayout(header);
    PutInReaderOrder(editor_->tag(), layout);
    storedEmpty_ = layout.storedEmpty;
    contentWritten_ = AsfContentFlags();
    ReadAttributesEx();
    return 1;
}

void CWMAHeaderEditor::ReadAttributesEx() {
    TagLib::ASF::Tag* tag = editor_->tag();
    std::map<std::wstring, std::vector<std::wstring>> values;
    present_.clear();
    trackNumber_.reset();
    for (size_t i = 0; i < kAsfContentTexts; ++i) {
        const ContentField& field = kContentFields[i];
        TagLib::String value = (tag->*field.get)();
        if (!value.isEmpty()) values[field.name].push_back(FromTagText(value));
        if (!value.isEmpty() || storedEmpty_[i])
            present_.insert(UpperAsciiText(WideToCodePage(field.name)));
    }
    const TagLib::ASF::AttributeListMap& map = tag->attributeListMap();
    for (auto it = map.begin(); it != map.end(); ++it) {
        const std::wstring name = FromTagText(it->first);
        std::wstring number;
        for (const TagLib::ASF::Attribute& attribute : it->second) {
            if (attribute.stream() != 0) continue;
            present_.insert(UpperAsciiText(WideToCodePage(name)));
            if (name == kAsfTrackNumber && number.empty()) number = NumberText(attribute);
            if (attribute.type() != TagLib::ASF::Attribute::UnicodeType) continue;
            values[name].push_back(FromTagText(attribute.toString()));
        }
        if (!number.empty()) trackNumber_ = number;
    }
    for (const auto& entry : values) {
        std::wstring joined;
        for (size_t i = 0; i < entry.second.size(); ++i) {
            if (i > 0) joined += L';';
            joined += entry.second[i];
        }
        StoreAttribute(entry.first, joined);
        if (entry.first == kAsfTrackNumber) trackNumber_ = joined;
    }
}

bool CWMAHeaderEditor::HasAttribute(const char* name) {
    return present_.count(UpperAsciiText(std::string(name ? name : ""))) > 0;
}

bool CWMAHeaderEditor::TrackNumber(StringEx* text) const {
    if (!trackNumber_) return false;
    *text = StringEx(*trackNumber_);
    return true;
}

void CWMAHeaderEditor::StoreAttribute(const std::wstring& name, const std::wstring& value) {
    cache_[UpperAsciiText(WideToCodePage(name))] = StringEx(value);
}

StringEx CWMAHeaderEditor::FindAttribute(const char* name) {
    return cache_[UpperAsciiText(std::string(name ? name : ""))];
}

int CWMAHeaderEditor::SetPending(const char* name, const char* value) {
    pending_[name ? name : ""] = value ? value : "";
    return 1;
}

void CWMAHeaderEditor::SetPendingTrack(const std::string& value) { pendingTrack_ = value; }

void CWMAHeaderEditor::DropPending(const char* name) { pending_.erase(name ? name : ""); }

void CWMAHeaderEditor::ClearPending() {
    pending_.clear();
    pendingTrack_.reset();
}

int CWMAHeaderEditor::ApplyPending() {
    // An editor over an in-memory header cannot change the file, and a header
    // that does not hold together is never rewritten.
    if (!editor_ || header_) return 0;
    if (!wellFormed_) return ReportFailure(LYPARSER_DAMAGED), 0;
    // Check everything first: a change that cannot be stored leaves the file as it was.
    bool fits = !pendingTrack_ || FitsAsfText(CodePageToWide(*pendingTrack_));
    for (const auto& change : pending_) {
        fits = fits && FitsAsfText(CodePageToWide(change.first)) &&
               FitsAsfText(CodePageToWide(change.second));
    }
    if (!fits) return ReportFailure(LYPARSER_VALUE_TOO_LONG), 0;
    try {
        for (const auto& change : pending_) {
            if (!WriteAttributeEx(change.first, change.second)) return 0;
        }
        if (pendingTrack_) WriteTrack(*pendingTrack_);
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
    const TagLib::String tagName = ToTagText(wideName);
    const TagLib::String tagValue = ToTagText(wideValue);
    RemoveStreamZero(tag, tagName);
    if (const ContentField* field = FindContentField(wideName)) {
        (tag->*field->set)(tagValue);
        contentWritten_[static_cast<size_t>(field - kContentFields)] = true;
    } else if (!wideValue.empty()) {
        tag->addAttribute(tagName, TagLib::ASF::Attribute(tagValue));
    }
    modified_ = true;
    return 1;
}

void CWMAHeaderEditor::WriteTrack(const std::string& value) {
    WriteAsfTrackNumber(editor_->tag(), CodePageToWide(value));
    modified_ = true;
}

void CWMAHeaderEditor::LeaveOutEmptyTexts() {
    file_->seek(0);
    const TagLib::ByteVector start = file_->readBlock(kAsfHeaderStart);
    if (start.size() < kAsfHeaderStart) return;
    const auto size = static_cast<unsigned long>(start.toLongLong(16U, false));
    file_->seek(0);
    const TagLib::ByteVector bytes = file_->readBlock(size);
    std::vector<unsigned char> header(bytes.begin(), bytes.end());
    AsfContentFlags keep;
    for (size_t i = 0; i < kAsfContentTexts; ++i) keep[i] = storedEmpty_[i] && !contentWritten_[i];
    if (header.size() != size || !LeaveOutEmptyContentTexts(&header, keep)) return;
    file_->insert(TagLib::ByteVector(reinterpret_cast<const char*>(header.data()),
                                     static_cast<unsigned>(header.size())),
                  0, size);
}

void CWMAHeaderEditor::KeepAudioAlignment() {
    file_->seek(0);
    const TagLib::ByteVector start = file_->readBlock(kAsfFirstChild);
    if (start.size() < kAsfFirstChild) return;
    const int64_t size = start.toLongLong(16U, false);
    const unsigned int count = start.toUInt(24U, false);
    // The header's last Padding Object, where there is one.
    int64_t padding = -1, paddingSize = 0;
    int64_t at = kAsfFirstChild;
    for (unsigned int i = 0; i < count && at + kAsfObjectHeader <= size; ++i) {
        file_->seek(at);
        const TagLib::ByteVector object = file_->readBlock(kAsfObjectHeader);
        const int64_t length = object.toLongLong(16U, false);
        if (object.size() < kAsfObjectHeader || length < kAsfObjectHeader || length > size - at)
            return;
        if (std::equal(kAsfPaddingGuid.begin(), kAsfPaddingGuid.end(), object.begin())) {
            padding = at;
            paddingSize = length;
        }
        at += length;
    }
    const int64_t change =
        padding < 0 ? file_->AlignmentPadding(size, kAsfObjectHeader)
                    : file_->AlignmentPadding(size, 0, 0, paddingSize - kAsfObjectHeader);
    if (change == 0) return;
    if (padding < 0) {
        TagLib::ByteVector object(reinterpret_cast<const char*>(kAsfPaddingGuid.data()),
                                  kAsfPaddingGuid.size());
        object.append(TagLib::ByteVector::fromLongLong(change, false));
        object.resize(static_cast<unsigned int>(change), '\0');
        file_->insert(object, static_cast<unsigned long>(size), 0);
        file_->seek(24);
        file_->writeBlock(TagLib::ByteVector::fromUInt(count + 1, false));
    } else if (change > 0) {
        file_->insert(TagLib::ByteVector(static_cast<unsigned int>(change), '\0'),
                      static_cast<unsigned long>(padding + paddingSize), 0);
    } else {
        file_->removeBlock(static_cast<unsigned long>(padding + paddingSize + change),
                           static_cast<unsigned long>(-change));
    }
    if (padding >= 0) {
        file_->seek(padding + 16);
        file_->writeBlock(TagLib::ByteVector::fromLongLong(paddingSize + change, false));
    }
    file_->seek(16);
    file_->writeBlock(TagLib::ByteVector::fromLongLong(size + change, false));
}

int CWMAHeaderEditor::CloseEditor() {
    int saved = 1;
    if (editor_ && modified_) {
        auto result = SplicedFileStream::SaveResult::kNotSaved;
        try {
            if (editor_->save() && file_) {
                LeaveOutEmptyTexts();
                KeepAudioAlignment();
                result = file_->Save();
            }
        } catch (...) {
        }
        saved = result == SplicedFileStream::SaveResult::kSaved ? 1 : 0;
        // The file as written, or as it is again after an undone write.
        if (file_) identity_ = file_->Identity();
        if (result != SplicedFileStream::SaveResult::kNotSaved) {
            for (size_t i = 0; i < kAsfContentTexts; ++i)
                storedEmpty_[i] = storedEmpty_[i] && !contentWritten_[i];
            contentWritten_ = AsfContentFlags();
            // The cache answers from the file as written, not as it was read
            // before the save.
            cache_.clear();
            ReadAttributesEx();
        }
        modified_ = false;
    }
    editor_.reset();
    header_.reset();
    file_.reset();
    return saved;
}

void CWMAHeaderEditor::ClearMaps() {
    pending_.clear();
    cache_.clear();
}
