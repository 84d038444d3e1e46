// CTagLibFileParser: opening, fields, pictures, saving, the audio range and
// digest. Texts are in tag_lib_file_parser_texts.cpp.
#include "parsers/shared/tag_lib_file_parser.h"

#include <algorithm>
#include <cstring>

#include "core/failure_reason.h"
#include "core/md5.h"
#include "core/platform_file.h"
#include "parsers/shared/property_fields.h"
#include "parsers/shared/spliced_file_stream.h"
#include "parsers/shared/tag_lib_text.h"
#include "parsers/shared/tag_store.h"

namespace {

int32_t Low32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

}  // namespace

CTagLibFileParser::CTagLibFileParser(int fileType, std::vector<TagLibFormatMaker> makers)
    : fileType_(fileType), makers_(std::move(makers)) {}

CTagLibFileParser::~CTagLibFileParser() { CloseFile(); }

int CTagLibFileParser::Initialize() { return 1; }

void CTagLibFileParser::Finalize() {}

CTagLibFileParser::FileUse::~FileUse() {
    if (parser_->stream_) parser_->stream_->Release();
}

int CTagLibFileParser::OpenFile(StringEx path) {
    CloseFile();
    path_ = path;
    const std::string nativePath = NativePath(path);
    if (nativePath.empty()) return 0;
    stream_ = std::make_unique<SplicedFileStream>(nativePath);
    FileUse use(this);
    if (!stream_->isOpen()) {
        CloseFile();
        return 0;
    }
    for (TagLibFormatMaker maker : makers_) {
        served_ = maker;
        if (ReadFormat()) return 1;
    }
    CloseFile();
    return 0;
}

bool CTagLibFileParser::ReadFormat() {
    changed_ = pictureChanged_ = false;
    properties_.clear();
    items_.clear();
    format_ = served_();
    stream_->seek(0);
    if (format_ && format_->Read(stream_.get()) && format_->Store()) return true;
    format_.reset();
    return false;
}

void CTagLibFileParser::CloseFile() {
    format_.reset();
    stream_.reset();
    changed_ = false;
}

std::vector<std::string> CTagLibFileParser::ChangedState(TagStore* store) const {
    std::vector<std::string> state;
    for (const std::string& property : properties_)
        state.push_back(JoinValues(store->Values(property)).to8Bit(true));
    for (const TagLib::String& item : items_) state.push_back(TagStoreKeys::ItemState(store, item));
    if (pictureChanged_) state.push_back(TagStoreKeys::PicturesState(store));
    return state;
}

int CTagLibFileParser::ApplyFile() {
    if (!format_) return 0;
    if (!changed_ && !stream_->Modified()) return 1;  // a save that changes nothing writes nothing
    FileUse use(this);
    if (stream_->readOnly()) return 0;
    if (changed_) {
        const std::vector<std::string> wanted = ChangedState(format_->Store());
        // A value the format cannot hold, an MP4 whose offsets would overflow.
        if (!format_->Write(stream_.get())) return ReportFailure(LYPARSER_REFUSED_VALUE), 0;
        std::unique_ptr<TagLibFormat> fresh = served_();
        stream_->seek(0);
        if (!fresh->Read(stream_.get()) || !fresh->Store() ||
            ChangedState(fresh->Store()) != wanted) {
            // What the format would write is not what the changes say: the
            // file cannot hold them. They go, and the file stays as it was.
            ReportFailure(LYPARSER_REFUSED_VALUE);
            format_.reset();
            stream_ = std::make_unique<SplicedFileStream>(NativePath(path_));
            if (!stream_->isOpen() || !ReadFormat()) CloseFile();
            return 0;
        }
    }
    const SplicedFileStream::SaveResult result = stream_->Save();
    // From now on the answers come from what the stream holds: the file just
    // written, or, when the save failed, the changes still pending in it.
    if (!ReadFormat()) CloseFile();
    return result == SplicedFileStream::SaveResult::kSaved ? 1 : 0;
}

int CTagLibFileParser::SetData(int fieldId, StringEx value) {
    if (!format_) return 0;
    if (fieldId == FIELD_PICTURE) return SetPictureFile(value);
    const char* property = PropertyOfField(fieldId);
    if (!property) return 0;
    TagStore* store = format_->Store();
    const TagLib::String text = ToTagText(value.GetWide());
    if (JoinValues(store->Values(property)) == text) return 1;  // nothing changes
    if (!store->SetValue(property, text)) return 0;
    changed_ = true;
    if (std::find(properties_.begin(), properties_.end(), property) == properties_.end())
        properties_.push_back(property);
    return 1;
}

StringEx CTagLibFileParser::GetData(int fieldId) {
    if (!format_) return StringEx();
    if (fieldId == FIELD_PICTURE || fieldId == FIELD_PICTURE_INFO) {
        StoredPicture picture;
        if (!keys_.ShownPicture(format_->Store(), &picture)) return StringEx();
        if (fieldId == FIELD_PICTURE_INFO)
            return StringEx(std::to_wstring(static_cast<long>(picture.data.size())));
        return StringEx(FromTagText(TagStoreKeys::Label(picture)));
    }
    const char* property = PropertyOfField(fieldId);
    if (!property) return StringEx();
    return StringEx(FromTagText(JoinValues(format_->Store()->Values(property))));
}

int CTagLibFileParser::SetPictureFile(StringEx path) {
    TagLib::ByteVector data;
    std::string mimeType;
    if (!TagStoreKeys::ReadPictureFile(NativePath(path), &data, &mimeType)) return 0;
    StoredPicture current;
    if (format_->Store()->Picture(&current) && current.data == data &&
        current.mimeType == mimeType.c_str()) {
        return 1;
    }
    if (!format_->Store()->SetPicture(data, mimeType)) return 0;
    changed_ = pictureChanged_ = true;
    return 1;
}

int CTagLibFileParser::DeleteAttachedPicture() {
    if (format_ && format_->Store()->RemovePictures()) changed_ = pictureChanged_ = true;
    return 1;
}

int CTagLibFileParser::SetExData(StringEx key, StringEx value) {
    if (!format_) return 0;
    TagLib::String item;
    switch (keys_.Set(format_->Store(), key.GetNarrow(), std::move(value), &item)) {
        case TagStoreKeys::Result::kRefused:
            return 0;
        case TagStoreKeys::Result::kItemChanged:
            changed_ = true;
            if (std::find(items_.begin(), items_.end(), item) == items_.end())
                items_.push_back(item);
            return 1;
        case TagStoreKeys::Result::kPictureChanged:
            changed_ = pictureChanged_ = true;
            return 1;
        default:
            return 1;
    }
}

StringEx CTagLibFileParser::GetExData(StringEx key) {
    const std::string name = key.GetNarrow();
    if (!format_ || !TagStoreKeys::Handles(name)) return StringEx(std::string());
    return keys_.Get(format_->Store(), name);
}

int CTagLibFileParser::GetAttachedPictureData(void* destination) {
    StoredPicture picture;
    if (!format_ || !destination || !keys_.ShownPicture(format_->Store(), &picture)) return 0;
    std::memcpy(destination, picture.data.data(), picture.data.size());
    return static_cast<int>(picture.data.size());
}

int CTagLibFileParser::GetFileType() { return format_ ? format_->FileType() : fileType_; }

int CTagLibFileParser::GetSourceLength(int* start, int* end) {
    if (!format_ || !start || !end) return 0;
    const AudioRange audio = format_->Audio();
    *start = Low32(audio.start);
    *end = Low32(audio.end - audio.start);
    return Low32(stream_->length());
}

StringEx CTagLibFileParser::GetMD5(int* start, int* end) {
    if (!start || !end) return StringEx();
    int count = *end;
    if (format_) {
        // Up to the end of the audio, never into the tags behind it.
        const int64_t audioEnd = format_->Audio().end;
        const int64_t from = std::max(*start, 0);
        if (from <= audioEnd) count = static_cast<int>(std::min<int64_t>(count, audioEnd - from));
    }
    return StringEx(MD5FileOfPath(path_, *start, count));
}
