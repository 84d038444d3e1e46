#include "parsers/flac/flac_format.h"

// flacproperties.h needs what these declare.
// clang-format off
#include <taglib/taglib.h>
#include <taglib/tbytevector.h>
#include <taglib/audioproperties.h>
#include <taglib/flacproperties.h>
// clang-format on
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>

#include "lyParser.h"
#include "parsers/flac/flac_metadata.h"
#include "parsers/flac/flac_store.h"
#include "parsers/shared/id3v1_store.h"
#include "parsers/shared/id3v2_store.h"
#include "parsers/shared/layered_store.h"
#include "parsers/shared/leading_id3v2.h"
#include "parsers/shared/spliced_file_stream.h"
#include "parsers/shared/stream_file.h"
#include "parsers/shared/tag_lib_format.h"
#include "parsers/shared/trailing_tags.h"
#include "parsers/vorbis_comment/vorbis_comment_list.h"

namespace {

// The vendor of a comment block this module adds to a file that had none.
const char kVendor[] = "lyParser";

class FlacFormat : public TagLibFormat {
public:
    ~FlacFormat() override {
        // The tags read through file_ go before it.
        store_.reset();
        id3v1Store_.reset();
        id3v2Store_.reset();
        id3v1_.reset();
        file_.reset();
    }

    int FileType() const override { return FILE_TYPE_FLAC; }
    bool Read(SplicedFileStream* stream) override;
    TagStore* Store() override { return store_.get(); }
    const TagLib::AudioProperties* Properties() const override { return properties_.get(); }
    std::string CodecName() const override { return "FLAC"; }
    int BitsPerSample() const override { return properties_ ? properties_->bitsPerSample() : 0; }
    AudioRange Audio() const override { return audio_; }
    bool Write(SplicedFileStream* stream) override;

private:
    int64_t FlacStart(SplicedFileStream* stream);
    void Parse(const TagLib::ByteVector& data) {
        comments_.Parse(std::string(data.data(), data.size()));
    }

    FlacMetadata metadata_;
    VorbisCommentList comments_{VorbisCommentList::EmptyValues::kIgnored};
    LeadingId3v2 leading_;
    std::unique_ptr<StreamFile> file_;
    std::unique_ptr<TagLib::ID3v1::Tag> id3v1_;
    int64_t id3v1Offset_ = -1;
    std::unique_ptr<Id3v2Store> id3v2Store_;
    std::unique_ptr<Id3v1Store> id3v1Store_;
    std::unique_ptr<FlacStore> flacStore_;
    std::unique_ptr<LayeredStore> store_;
    std::unique_ptr<TagLib::FLAC::Properties> properties_;
    AudioRange audio_;
};

// Where "fLaC" stands: at the start, or right behind an ID3v2 tag; -1 when
// the stream is no FLAC file.
int64_t FlacMarker(TagLib::IOStream* stream) {
    stream->seek(0);
    const TagLib::ByteVector start = stream->readBlock(TagLib::ID3v2::Header::size());
    if (start.startsWith("fLaC")) return 0;
    if (!start.startsWith("ID3") || start.size() != TagLib::ID3v2::Header::size()) return -1;
    const int64_t size = TagLib::ID3v2::Header(start).completeTagSize();
    stream->seek(size);
    return stream->readBlock(4) == "fLaC" ? size : -1;
}

int64_t FlacFormat::FlacStart(SplicedFileStream* stream) {
    const int64_t start = FlacMarker(stream);
    return start > 0 && !leading_.Read(stream) ? -1 : start;
}

// Where blocks are shared, pads the metadata as the stream now holds it so
// that the audio keeps its offset modulo the block size: the last PADDING
// block grows, or, in a file without one, a new one comes last.
void KeepAudioAlignment(SplicedFileStream* stream) {
    const int64_t marker = FlacMarker(stream);
    if (marker < 0) return;
    int64_t at = marker + 4, padding = -1, last = -1;
    uint32_t paddingLength = 0;
    for (bool lastBlock = false; !lastBlock;) {
        stream->seek(at);
        const TagLib::ByteVector header = stream->readBlock(4);
        if (header.size() != 4) return;
        lastBlock = (header[0] & 0x80) != 0;
        if ((header[0] & 0x7F) == FlacMetadata::kPadding) {
            padding = at;
            paddingLength = header.toUInt(1U, 3U, true);
        }
        last = at;
        at += 4 + header.toUInt(1U, 3U, true);
    }
    const int64_t grow = stream->AlignmentPadding(at, padding < 0 ? 4 : 0);
    if (grow <= 0) return;
    if (padding < 0) {
        TagLib::ByteVector block =
            TagLib::ByteVector::fromUInt(static_cast<unsigned int>(grow - 4));
        block[0] = static_cast<char>(FlacMetadata::kPadding | 0x80);
        block.resize(static_cast<unsigned int>(grow), '\0');
        stream->insert(block, static_cast<unsigned long>(at), 0);
        stream->seek(last);
        const TagLib::ByteVector type = stream->readBlock(1);
        stream->seek(last);
        stream->writeBlock(TagLib::ByteVector(1, static_cast<char>(type[0] & 0x7F)));
        return;
    }
    const int64_t length = paddingLength + grow;
    if (length > FlacMetadata::kMaxBlockData) return;
    stream->insert(TagLib::ByteVector(static_cast<unsigned int>(grow), '\0'),
                   static_cast<unsigned long>(padding + 4 + paddingLength), 0);
    stream->seek(padding + 1);
    stream->writeBlock(TagLib::ByteVector::fromUInt(static_cast<unsigned int>(length)).mid(1));
}

bool FlacFormat::Read(SplicedFileStream* stream) {
    const int64_t flacStart = FlacStart(stream);
    if (flacStart < 0 || !metadata_.Read(stream, flacStart)) return false;
    if (FlacMetadata::Block* block = metadata_.CommentBlock()) {
        Parse(block->data);
    } else {
        TagLib::ByteVector empty = TagLib::ByteVector::fromUInt(sizeof kVendor - 1, false);
        empty.append(TagLib::ByteVector(kVendor));
        empty.append(TagLib::ByteVector(4, '\0'));
        Parse(empty);
    }
    const TrailingTags trailing = FindTrailingTags(stream, metadata_.End());
    audio_ = {metadata_.End(), trailing.start};
    file_ = std::make_unique<StreamFile>(stream);
    if (trailing.id3v1 >= 0) {
        id3v1_ = std::make_unique<TagLib::ID3v1::Tag>(file_.get(), trailing.id3v1);
        id3v1Offset_ = trailing.id3v1;
        id3v1Store_ = std::make_unique<Id3v1Store>(id3v1_.get());
    }
    if (leading_.Tag()) id3v2Store_ = std::make_unique<Id3v2Store>(leading_.Tag());
    flacStore_ = std::make_unique<FlacStore>(&comments_, &metadata_);
    store_ = std::make_unique<LayeredStore>(
        flacStore_.get(), std::vector<TagStore*>{id3v2Store_.get(), id3v1Store_.get()});
    properties_ = std::make_unique<TagLib::FLAC::Properties>(
        metadata_.Blocks().front().data, static_cast<long>(audio_.end - audio_.start));
    return true;
}

bool FlacFormat::Write(SplicedFileStream* stream) {
    if (comments_.Changed()) {
        const std::string rendered = comments_.Render();
        const TagLib::ByteVector data(rendered.data(), static_cast<unsigned int>(rendered.size()));
        if (FlacMetadata::Block* block = metadata_.CommentBlock()) {
            block->data = data;
            block->replaced = true;
        } else {
            metadata_.Add(FlacMetadata::kVorbisComment, data);
        }
    }
    for (const FlacMetadata::Block& block : metadata_.Blocks()) {
        if (block.replaced && block.data.size() > FlacMetadata::kMaxBlockData) return false;
    }
    // From the end of the file to its start.
    if (id3v1Store_ && id3v1Store_->Changed()) {
        stream->seek(id3v1Offset_);
        stream->writeBlock(id3v1_->render());
    }
    metadata_.Write(stream);
    if (id3v2Store_ && id3v2Store_->Changed()) leading_.Write(stream);
    KeepAudioAlignment(stream);
    return true;
}

}  // namespace

std::unique_ptr<TagLibFormat> MakeFlacFormat() { return std::make_unique<FlacFormat>(); }
