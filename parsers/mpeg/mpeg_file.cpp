#include "parsers/mpeg/mpeg_file.h"

#include <taglib/apefooter.h>
#include <taglib/apetag.h>
#include <taglib/id3v2synchdata.h>

#include "core/failure_reason.h"
#include "parsers/mpeg/genre_frame_factory.h"
#include "parsers/mpeg/id3v2_extended_tag.h"
#include "parsers/mpeg/tag_text.h"
#include "parsers/shared/spliced_file_stream.h"

namespace {

constexpr int kSearchTries = 5;
constexpr long kSearchBlock = 4096;
constexpr long kID3v1Size = 128;
constexpr long kApeFooterSize = 32;
constexpr unsigned int kID3v2HeaderSize = 10;
constexpr int64_t kID3v2MaxSize = (1 << 28) - 1;  // what the size's 28 bits hold
// How far beyond the tags at either end of a file the search for audio looks:
// a file with no audio in its first megabyte is not read to its end.
constexpr long kSearchWindow = 1024 * 1024;

// Fills each basic field that `target` holds empty from `source`; with
// `trim`, without the blanks an ID3v1 field is padded with.
void FillEmptyBasicFields(ExtendedTag* target, const ExtendedTag& source, bool trim) {
    static const struct {
        ExtendedTag::Getter get;
        ExtendedTag::Setter set;
    } kFields[] = {
        {&ExtendedTag::title, &ExtendedTag::setTitle},
        {&ExtendedTag::artist, &ExtendedTag::setArtist},
        {&ExtendedTag::album, &ExtendedTag::setAlbum},
        {&ExtendedTag::comment, &ExtendedTag::setComment},
        {&ExtendedTag::genre, &ExtendedTag::setGenre},
        {&ExtendedTag::year, &ExtendedTag::setYear},
        {&ExtendedTag::track, &ExtendedTag::setTrack},
    };
    for (const auto& field : kFields) {
        if (!(target->*field.get)().isEmpty()) continue;
        ExtendedTag::Text value = (source.*field.get)();
        if (trim) value = TrimTrailingBlanks(value);
        if (!value.isEmpty()) (target->*field.set)(value);
    }
}

}  // namespace

CMPEGFile::CMPEGFile(SplicedFileStream* stream)
    : TagLib::MPEG::File(stream, GenreFrameFactory::Instance(), true,
                         TagLib::AudioProperties::Average),
      stream_(stream) {
    if (!isValid()) return;
    if (hasID3v2Tag()) badFrames_.Read(this, ID3v2Tag(false), GenreFrameFactory::Instance());
    RestoreGenreFrames(ID3v2Tag(false));
    if (hasID3v1Tag()) {
        seek(-static_cast<long>(ID3v1Block::kSize), End);
        id3v1_ = std::make_unique<ID3v1Block>(readBlock(ID3v1Block::kSize));
    }
    id3v2Present_ = hasID3v2Tag();
    id3v2HadContent_ =
        id3v2Present_ && (!ID3v2Tag(false)->frameList().isEmpty() || !badFrames_.IsEmpty());
}

ID3v1Block* CMPEGFile::PresentID3v1(bool create) {
    if (!id3v1_ && create) id3v1_ = std::make_unique<ID3v1Block>();
    return id3v1_.get();
}

TagLib::ID3v2::Tag* CMPEGFile::PresentID3v2(bool create) {
    if (!id3v2Present_ && !create) return nullptr;
    id3v2Present_ = true;
    return ID3v2Tag(true);
}

int CMPEGFile::DiskTags() const {
    return (hasID3v1Tag() ? ID3v1 : 0) | (hasID3v2Tag() && id3v2HadContent_ ? ID3v2 : 0);
}

bool CMPEGFile::StripNow(int tags) {
    TakeBackOwnWrites();
    if (!strip(tags, true)) return false;
    Forget(tags);
    return true;
}

void CMPEGFile::Forget(int tags) {
    if (tags & ID3v1) id3v1_.reset();
    if (tags & ID3v2) {
        id3v2Present_ = false;
        badFrames_.Clear();
    }
}

void CMPEGFile::DuplicateBasicFields(int mask) {
    if ((mask & ID3v2) && id3v1_) {
        ID3v2ExtendedTag target(PresentID3v2(true));
        FillEmptyBasicFields(&target, *id3v1_, true);
    }
    if ((mask & ID3v1) && id3v2Present_) {
        FillEmptyBasicFields(PresentID3v1(true), ID3v2ExtendedTag(PresentID3v2(false)), false);
    }
}

bool CMPEGFile::SaveTags(int mask) {
    if (mask == 0) return StripNow(AllTags);
    if (!id3v1_ && !id3v2Present_ && !APETag(false)) return HoldsTags() ? StripNow(AllTags) : true;
    // Frames a rewrite of the ID3v2 tag would lose.
    if ((mask & ID3v2) && !badFrames_.Writable()) return ReportFailure(LYPARSER_DAMAGED), false;
    TakeBackOwnWrites();
    DuplicateBasicFields(mask);
    if (TagLib::ID3v2::Tag* tag = PresentID3v2(false)) ID3v2ExtendedTag(tag).normalizeForWriting();
    // An APE tag (gain values live there) is written back as it was. TagLib
    // strips the ID3v1 tag: this file writes its own.
    const int ape = hasAPETag() && APETag(false) ? APE : 0;
    if (!save((mask & ID3v2) | ape, TagLib::File::StripOthers, TagLib::ID3v2::v4,
              TagLib::File::DoNotDuplicate)) {
        return false;
    }
    if (mask & ID3v2) {
        badFrames_.WriteInto(this);
        const TagLib::ID3v2::Tag* tag = ID3v2Tag(false);
        if ((tag && !tag->isEmpty()) || !badFrames_.IsEmpty()) KeepAudioAlignment();
    }
    if ((mask & ID3v1) && id3v1_) {
        seek(0, End);
        writeBlock(id3v1_->data());
        id3v1Written_ = true;
    }
    return true;
}

void CMPEGFile::KeepAudioAlignment() {
    // The tag this save wrote, at the start; a tag with a footer has no
    // padding.
    seek(0);
    const TagLib::ByteVector head = readBlock(kID3v2HeaderSize);
    if (head.size() < kID3v2HeaderSize || !head.startsWith("ID3") || (head[5] & 0x10)) return;
    const unsigned int size = TagLib::ID3v2::SynchData::toUInt(head.mid(6, 4));
    const long end = kID3v2HeaderSize + static_cast<long>(size);
    const int64_t padding = stream_->AlignmentPadding(end);
    if (padding <= 0 || size + padding > kID3v2MaxSize) return;
    insert(TagLib::ByteVector(static_cast<unsigned int>(padding), '\0'), end, 0);
    seek(6);
    writeBlock(TagLib::ID3v2::SynchData::fromUInt(size + static_cast<unsigned int>(padding)));
    alignment_ = {end, padding};
}

void CMPEGFile::TakeBackOwnWrites() {
    // TagLib knows the content without what was written after its save (the
    // ID3v1 tag at the end, the padding): a save that failed is followed by
    // another on the same content, which would keep them beside its own.
    if (id3v1Written_) removeBlock(length() - ID3v1Block::kSize, ID3v1Block::kSize);
    if (alignment_.second > 0) removeBlock(alignment_.first, alignment_.second);
    id3v1Written_ = false;
    alignment_ = {0, 0};
}

long CMPEGFile::ID3v2CompleteSize() {
    TagLib::ID3v2::Tag* tag = ID3v2Tag(false);
    return hasID3v2Tag() && tag ? static_cast<long>(tag->header()->completeTagSize()) : 0;
}

long CMPEGFile::FindSync(long from) {
    const long fileLength = length();
    for (long position = from; position >= 0 && position + 1 < fileLength;) {
        seek(position);
        TagLib::ByteVector block = readBlock(kSearchBlock);
        if (block.size() < 2) return -1;
        for (unsigned int i = 0; i + 1 < block.size(); ++i) {
            if (MpegFrameHeader::IsSync(block[i], block[i + 1])) return position + i;
        }
        position += block.size() - 1;
    }
    return -1;
}

bool CMPEGFile::SyncAt(long position) {
    seek(position);
    TagLib::ByteVector bytes = readBlock(2);
    return bytes.size() == 2 && MpegFrameHeader::IsSync(bytes[0], bytes[1]);
}

void CMPEGFile::ReadXing(long frameStart) {
    int offset = header_.XingOffset();
    if (offset == 0) return;
    seek(frameStart + offset);
    TagLib::ByteVector xing = readBlock(12);
    if (xing.size() < 8 || !xing.startsWith("Xing")) return;
    vbrFound_ = true;
    if ((xing.toUInt(4, true) & 0x01) && xing.size() >= 12) vbrFrames_ = xing.toUInt(8, true);
}

CMPEGFile::FrameSearch CMPEGFile::SearchFirstFrame() {
    FrameSearch search;
    search.position = ID3v2CompleteSize();
    for (int attempt = 0; attempt < kSearchTries; ++attempt) {
        long found = FindSync(search.position);
        TagLib::ByteVector bytes;
        if (found >= 0) {
            seek(found);
            bytes = readBlock(4);
        }
        if (bytes.size() < 4) {
            search.position = -1;
            search.start = 0;
            break;
        }
        for (int i = 0; i < 4; ++i) search.header.bytes[i] = static_cast<unsigned char>(bytes[i]);
        int frameLength = search.header.FrameLength();
        if (frameLength > 0 && SyncAt(found + frameLength)) {
            search.start = search.position = found;
            search.found = true;
            break;
        }
        search.position = found + (frameLength > 0 ? frameLength : 1);
    }
    return search;
}

bool CMPEGFile::MayBeWritten() {
    if (SearchFirstFrame().found) return true;
    // No audio where the search looks: only an empty file, or one that holds
    // nothing but tags, is still ours to write. An ID3v2 tag found anywhere
    // but at the start is text that happens to spell "ID3".
    long id3v2 = ID3v2CompleteSize();
    if (id3v2 > 0) {
        seek(0);
        if (readBlock(3) != "ID3" || id3v2 > length()) return false;
    }
    long tags = id3v2 + (hasID3v1Tag() ? kID3v1Size : 0);
    if (TagLib::APE::Tag* ape = hasAPETag() ? APETag(false) : nullptr) {
        tags += static_cast<long>(ape->footer()->completeTagSize());
    }
    return length() <= tags;
}

void CMPEGFile::LimitSearch(SplicedFileStream* stream) {
    const long fileLength = stream->length();
    long head = 0;
    stream->seek(0);
    TagLib::ByteVector start = stream->readBlock(10);
    if (start.size() == 10 && start.startsWith("ID3")) {
        head = 10 + static_cast<long>(TagLib::ID3v2::SynchData::toUInt(start.mid(6, 4))) +
               (start[5] & 0x10 ? 10 : 0);
    }
    long tail = 0;
    if (fileLength >= kID3v1Size) {
        stream->seek(-kID3v1Size, TagLib::IOStream::End);
        if (stream->readBlock(3) == "TAG") tail = kID3v1Size;
    }
    if (fileLength >= tail + kApeFooterSize) {
        stream->seek(-(tail + kApeFooterSize), TagLib::IOStream::End);
        TagLib::ByteVector footer = stream->readBlock(kApeFooterSize);
        if (footer.startsWith("APETAGEX")) {
            tail += static_cast<long>(footer.toUInt(12, false)) +
                    (footer.toUInt(20, false) & 0x80000000u ? 32 : 0);
        }
    }
    stream->LimitReads(head + kSearchWindow, fileLength - tail - kSearchWindow);
}

void CMPEGFile::LocateAudio() {
    FrameSearch search = SearchFirstFrame();
    header_ = search.header;
    vbrFound_ = false;
    vbrFrames_ = -1;
    if (search.found) ReadXing(search.start);
    const long position = search.position;
    const long start = search.start;
    long end = length();
    if (hasID3v1Tag() || hasID3v2Tag()) {
        long lyrics = 0;
        if (TagLib::ID3v2::Tag* tag = PresentID3v2(false)) {
            lyrics = static_cast<long>(FromTagText(ID3v2ExtendedTag(tag).lyrics()).size());
        }
        end = end + position - lyrics - (hasID3v1Tag() ? kID3v1Size : 0);
    }
    start_ = static_cast<int>(start);
    end_ = static_cast<int>(end);
    located_ = true;
}
