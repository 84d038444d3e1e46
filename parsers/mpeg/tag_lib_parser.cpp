// CTagLibParser: opening, closing, saving, the audio range and digest.
// Fields are in tag_lib_parser_fields.cpp, texts in tag_lib_parser_texts.cpp.
#include "parsers/mpeg/tag_lib_parser.h"

#include <cstring>

#include "core/failure_reason.h"
#include "core/md5.h"
#include "core/platform_file.h"
#include "parsers/mpeg/extended_tag.h"
#include "parsers/mpeg/mpeg_file.h"
#include "parsers/mpeg/tag_lib_file_open.h"
#include "parsers/shared/id3v2_store.h"
#include "parsers/shared/spliced_file_stream.h"

CTagLibParser::CTagLibParser(int fileType) : fileType_(fileType) {}

CTagLibParser::~CTagLibParser() { CloseFile(); }

int CTagLibParser::Initialize() { return 1; }

void CTagLibParser::Finalize() {}

CTagLibParser::FileUse::~FileUse() {
    if (parser_->stream_) parser_->stream_->Release();
}

int CTagLibParser::OpenFile(StringEx path) {
    CloseFile();
    FileUse use(this);
    path_ = path;
    std::string nativePath = NativePath(path);
    if (nativePath.empty()) return 0;
    stream_ = std::make_unique<SplicedFileStream>(nativePath);
    if (!stream_->isOpen() || !ParseStream()) {
        CloseFile();
        return 0;
    }
    return 1;
}

bool CTagLibParser::ParseStream() {
    tag_.reset();
    mpeg_ = nullptr;
    file_ = TagLib::FileRef();
    std::unique_ptr<TagLib::File> file = OpenTagLibFile(NativePath(path_), stream_.get());
    if (!file || !file->isValid()) return false;
    std::unique_ptr<ExtendedTag> tag = MakeExtendedTag(file.get());
    if (!tag) return false;
    mpeg_ = dynamic_cast<CMPEGFile*>(file.get());
    file_ = TagLib::FileRef(file.release());
    tag_ = std::move(tag);
    return true;
}

void CTagLibParser::CloseFile() {
    changed_ = false;
    tag_.reset();
    mpeg_ = nullptr;
    file_ = TagLib::FileRef();
    stream_.reset();
}

bool CTagLibParser::WriteChanges() {
    const bool located = mpeg_ && mpeg_->AudioLocated();
    const SplicedFileStream::SaveResult result = stream_->Save();
    if (result == SplicedFileStream::SaveResult::kNotSaved) return false;
    const bool saved = result == SplicedFileStream::SaveResult::kSaved;
    changed_ = false;  // the file holds the changes, even when its last step failed
    // Answer from now on from what the file holds.
    if (!ParseStream()) {
        CloseFile();
        return saved;
    }
    if (located && mpeg_) mpeg_->LocateAudio();
    return saved;
}

void CTagLibParser::WriteStrip() {
    if (stream_->Save() != SplicedFileStream::SaveResult::kNotSaved) return;
    const bool located = mpeg_ && mpeg_->AudioLocated();
    CloseFile();
    stream_ = std::make_unique<SplicedFileStream>(NativePath(path_));
    if (!stream_->isOpen() || !ParseStream()) {
        CloseFile();
        return;
    }
    if (located && mpeg_) mpeg_->LocateAudio();
}

int CTagLibParser::ApplyFile() {
    // Until the host says which tags to keep, the file keeps the tags it has
    // and those the changes created: never "no tags" by omission.
    if (!maskSet_ && mpeg_) {
        if (tag_ && !changed_) return 1;  // the tags the file has, as they are
        return ApplyFileEx(mpeg_->PresentTags());
    }
    return ApplyFileEx(tagMask_);
}

bool CTagLibParser::NothingToWrite(int tagMask) const {
    if (changed_) return false;
    if (!mpeg_) return true;
    const int kept = tagMask & (TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2);
    // A mask of 0 removes an APE tag too.
    return kept == mpeg_->DiskTags() && (kept != 0 || !mpeg_->hasAPETag());
}

int CTagLibParser::ApplyFileEx(int tagMask) {
    if (!tag_) return 0;
    // Backup and sync tools see no change where there is none.
    if (NothingToWrite(tagMask)) return 1;
    FileUse use(this);
    if (mpeg_ && !mpeg_->MayBeWritten()) return ReportFailure(LYPARSER_NO_AUDIO), 0;
    const bool made = mpeg_ ? mpeg_->SaveTags(tagMask) : file_.file()->save();
    return made && WriteChanges() ? 1 : 0;
}

int CTagLibParser::GetFileType() { return fileType_; }

StringEx CTagLibParser::GetMD5(int* start, int* end) {
    if (!start || !end) return StringEx();
    return StringEx(MD5FileOfPath(path_, *start, *end));
}

int CTagLibParser::GetSourceLength(int* start, int* end) {
    if (!tag_) return 0;
    int first = 0, last = 0;
    FileUse use(this);
    if (mpeg_) {
        mpeg_->LocateAudio();
        first = mpeg_->AudioStart();
        last = mpeg_->AudioEnd();
    }
    if (start) *start = first;
    if (end) *end = last;
    return last - first;
}

int CTagLibParser::DeleteAttachedPicture() {
    if (tag_ && !tag_->pictureInfo().isEmpty()) {
        tag_->removePictures();
        changed_ = true;
    }
    return 1;
}

int CTagLibParser::DeleteLyrics() {
    if (tag_) {
        tag_->removeLyrics();
        changed_ = true;
    }
    return 1;
}

int CTagLibParser::GetAttachedPictureData(void* destination) {
    if (!tag_ || !destination) return 0;
    if (keys_.Chosen()) {
        TagLib::ID3v2::Tag* id3v2 = mpeg_ ? mpeg_->PresentID3v2(false) : nullptr;
        StoredPicture picture;
        if (!id3v2 || !keys_.ShownPicture(std::make_unique<Id3v2Store>(id3v2).get(), &picture))
            return 0;
        std::memcpy(destination, picture.data.data(), picture.data.size());
        return static_cast<int>(picture.data.size());
    }
    return static_cast<int>(tag_->copyPicture(static_cast<unsigned char*>(destination)));
}
