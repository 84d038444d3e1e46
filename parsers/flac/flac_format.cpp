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
int64_t FlacFormat::FlacStart(SplicedFileStream* stream) {
    stream->seek(0);
    const TagLib::ByteVector start = stream->readBlock(TagLib::ID3v2::Header::size());
    if (start.startsWith("fLaC")) return 0;
    if (!start.startsWith("ID3") || start.size() != TagLib::ID3v2::Header::size()) return -1;
    const int64_t size = TagLib::ID3v2::Header(start).completeTagSize();
    stream->seek(size);
    if (stream->readBlock(4) != "fLaC" || !leading_.Read(stream)) return -1;
    return size;
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
    return true;
}

}  // namespace

std::unique_ptr<TagLibFormat> MakeFlacFormat() { return std::make_unique<FlacFormat>(); }
