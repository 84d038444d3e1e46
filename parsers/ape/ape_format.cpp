#include "parsers/ape/ape_format.h"

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/mpcfile.h>
#include <taglib/wavpackfile.h>

#include "lyParser.h"
#include "parsers/shared/ape_store.h"
#include "parsers/shared/id3v1_store.h"
#include "parsers/shared/id3v2_store.h"
#include "parsers/shared/layered_store.h"
#include "parsers/shared/leading_id3v2.h"
#include "parsers/shared/spliced_file_stream.h"
#include "parsers/shared/tag_lib_format.h"
#include "parsers/shared/trailing_tags.h"

namespace {

std::string CodecOf(const TagLib::WavPack::Properties* properties) {
    return properties->isLossless() ? "WavPack (lossless)" : "WavPack (lossy)";
}

std::string CodecOf(const TagLib::MPC::Properties* properties) {
    return "Musepack SV" + std::to_string(properties->mpcVersion());
}

std::string CodecOf(const TagLib::APE::Properties* properties) {
    const int version = properties->version();
    return "Monkey's Audio " + std::to_string(version / 1000) + "." +
           std::to_string(version % 1000 / 10);
}

int BitsOf(const TagLib::WavPack::Properties* properties) { return properties->bitsPerSample(); }
int BitsOf(const TagLib::MPC::Properties*) { return 0; }
int BitsOf(const TagLib::APE::Properties* properties) { return properties->bitsPerSample(); }

template <typename File>
class ApeTaggedFormat : public TagLibFormat {
public:
    // `magics`: what the audio data starts with; `leadingTag`: whether an
    // ID3v2 tag may come before it.
    ApeTaggedFormat(int type, std::vector<const char*> magics, const char* name, bool leadingTag)
        : type_(type), magics_(std::move(magics)), name_(name), leadingTag_(leadingTag) {}
    ~ApeTaggedFormat() override {
        store_.reset();
        file_.reset();  // before the stream's leading tag, which has its own file
    }

    int FileType() const override { return type_; }
    bool Read(SplicedFileStream* stream) override;
    TagStore* Store() override { return store_.get(); }
    const TagLib::AudioProperties* Properties() const override { return file_->audioProperties(); }
    std::string CodecName() const override {
        return file_->audioProperties() ? CodecOf(file_->audioProperties()) : name_;
    }
    int BitsPerSample() const override {
        return file_->audioProperties() ? BitsOf(file_->audioProperties()) : 0;
    }
    AudioRange Audio() const override { return audio_; }
    bool Write(SplicedFileStream* stream) override {
        // TagLib's edits lie at the end of the file, the leading tag's at its start.
        if (!file_->save()) return false;
        if (id3v2Store_ && id3v2Store_->Changed()) leading_.Write(stream);
        return true;
    }

private:
    bool StartsWithMagic(SplicedFileStream* stream, int64_t at) {
        stream->seek(at);
        const TagLib::ByteVector head = stream->readBlock(4);
        for (const char* magic : magics_) {
            if (head.startsWith(magic)) return true;
        }
        return false;
    }

    int type_;
    std::vector<const char*> magics_;
    const char* name_;
    bool leadingTag_;
    LeadingId3v2 leading_;
    std::unique_ptr<File> file_;
    std::unique_ptr<ApeStore> apeStore_;
    std::unique_ptr<Id3v2Store> id3v2Store_;
    std::unique_ptr<Id3v1Store> id3v1Store_;
    std::unique_ptr<LayeredStore> store_;
    AudioRange audio_;
};

template <typename File>
bool ApeTaggedFormat<File>::Read(SplicedFileStream* stream) {
    int64_t start = 0;
    if (!StartsWithMagic(stream, 0)) {
        stream->seek(0);
        const TagLib::ByteVector head = stream->readBlock(TagLib::ID3v2::Header::size());
        if (!leadingTag_ || !head.startsWith("ID3") || head.size() != TagLib::ID3v2::Header::size())
            return false;
        start = TagLib::ID3v2::Header(head).completeTagSize();
        if (!StartsWithMagic(stream, start) || !leading_.Read(stream)) return false;
        id3v2Store_ = std::make_unique<Id3v2Store>(leading_.Tag());
    }
    stream->seek(0);  // TagLib starts reading where the stream stands
    file_ = std::make_unique<File>(stream, true, TagLib::AudioProperties::Average);
    if (!file_->isValid()) return false;
    apeStore_ = std::make_unique<ApeStore>(file_->APETag(true));
    if (TagLib::ID3v1::Tag* id3v1 = file_->ID3v1Tag(false))
        id3v1Store_ = std::make_unique<Id3v1Store>(id3v1);
    store_ = std::make_unique<LayeredStore>(
        apeStore_.get(), std::vector<TagStore*>{id3v2Store_.get(), id3v1Store_.get()});
    audio_ = {start, FindTrailingTags(stream, start).start};
    return true;
}

}  // namespace

std::unique_ptr<TagLibFormat> MakeWavPackFormat() {
    return std::make_unique<ApeTaggedFormat<TagLib::WavPack::File>>(
        FILE_TYPE_WAVPACK, std::vector<const char*>{"wvpk"}, "WavPack", false);
}

std::unique_ptr<TagLibFormat> MakeMusepackFormat() {
    return std::make_unique<ApeTaggedFormat<TagLib::MPC::File>>(
        FILE_TYPE_MUSEPACK, std::vector<const char*>{"MP+", "MPCK"}, "Musepack", true);
}

std::unique_ptr<TagLibFormat> MakeMonkeysAudioFormat() {
    return std::make_unique<ApeTaggedFormat<TagLib::APE::File>>(
        FILE_TYPE_MUSEPACK, std::vector<const char*>{"MAC "}, "Monkey's Audio", true);
}
