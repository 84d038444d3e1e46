#include "parsers/riff/riff_format.h"

#include <taglib/aifffile.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/id3v2tag.h>
#include <taglib/wavfile.h>

#include "lyParser.h"
#include "parsers/riff/riff_store.h"
#include "parsers/shared/spliced_file_stream.h"
#include "parsers/shared/tag_lib_format.h"

namespace {

// A TagLib RIFF file class with its chunk list open to this module.
template <typename Base>
class ChunkFile : public Base {
public:
    explicit ChunkFile(TagLib::IOStream* stream)
        : Base(stream, true, TagLib::AudioProperties::Average) {}
    using Base::chunkCount;
    using Base::chunkDataSize;
    using Base::chunkName;
    using Base::chunkOffset;
    using Base::removeChunk;
    using Base::setChunkData;
};

using WavFile = ChunkFile<TagLib::RIFF::WAV::File>;
using AiffFile = ChunkFile<TagLib::RIFF::AIFF::File>;

TagLib::ID3v2::Tag* Id3v2Of(WavFile* file) { return file->ID3v2Tag(); }
TagLib::ID3v2::Tag* Id3v2Of(AiffFile* file) { return file->tag(); }
const TagLib::RIFF::Info::Tag* InfoOf(WavFile* file) { return file->InfoTag(); }
const TagLib::RIFF::Info::Tag* InfoOf(AiffFile*) { return nullptr; }

std::string CodecOf(const TagLib::RIFF::WAV::Properties* properties) {
    switch (properties->format()) {
        case 1:
            return "WAV (PCM)";
        case 3:
            return "WAV (IEEE float)";
        case 6:
            return "WAV (A-law)";
        case 7:
            return "WAV (mu-law)";
        case 0xFFFE:
            return "WAV (extensible)";
        default:
            return "WAV (format " + std::to_string(properties->format()) + ")";
    }
}

std::string CodecOf(const TagLib::RIFF::AIFF::Properties* properties) {
    if (!properties->isAiffC()) return "AIFF (PCM)";
    return "AIFF-C (" + properties->compressionName().to8Bit(true) + ")";
}

template <typename File>
class RiffFormat : public TagLibFormat {
public:
    RiffFormat(int type, const char* magic, const char* form, const char* altForm,
               const char* soundChunk)
        : type_(type), magic_(magic), form_(form), altForm_(altForm), soundChunk_(soundChunk) {}

    int FileType() const override { return type_; }

    bool Read(SplicedFileStream* stream) override {
        stream->seek(0);
        const TagLib::ByteVector head = stream->readBlock(12);
        if (head.size() != 12 || !head.startsWith(magic_) ||
            !(head.containsAt(form_, 8) || head.containsAt(altForm_, 8))) {
            return false;
        }
        stream->seek(0);  // TagLib starts reading where the stream stands
        file_ = std::make_unique<File>(stream);
        if (!file_->isValid() || !Id3v2Of(file_.get())) return false;
        store_ = std::make_unique<RiffStore>(Id3v2Of(file_.get()), InfoOf(file_.get()));
        for (unsigned int i = 0; i < file_->chunkCount(); ++i) {
            if (file_->chunkName(i) != soundChunk_) continue;
            audio_ = {file_->chunkOffset(i),
                      static_cast<int64_t>(file_->chunkOffset(i)) + file_->chunkDataSize(i)};
            break;
        }
        return true;
    }

    TagStore* Store() override { return store_.get(); }
    const TagLib::AudioProperties* Properties() const override { return file_->audioProperties(); }
    std::string CodecName() const override {
        return file_->audioProperties() ? CodecOf(file_->audioProperties()) : form_;
    }
    int BitsPerSample() const override {
        return file_->audioProperties() ? file_->audioProperties()->bitsPerSample() : 0;
    }
    AudioRange Audio() const override { return audio_; }

    bool Write(SplicedFileStream* stream) override {
        TagLib::ID3v2::Tag* tag = Id3v2Of(file_.get());
        for (unsigned int i = 0; i < file_->chunkCount(); ++i) {
            const TagLib::ByteVector name = file_->chunkName(i);
            if (name != "ID3 " && name != "id3 ") continue;
            // The first ID3v2 chunk, the one read, in its place.
            if (tag->isEmpty()) {
                file_->removeChunk(i);
            } else {
                file_->setChunkData(i, tag->render(TagLib::ID3v2::v4));
                KeepAudioAlignment(stream, i);
            }
            return true;
        }
        if (!tag->isEmpty()) file_->setChunkData("ID3 ", tag->render(TagLib::ID3v2::v4));
        return true;
    }

private:
    // Where blocks are shared and the ID3v2 chunk `index` lies before the
    // sound chunk, grows the tag's padding so that the sound keeps its offset
    // modulo the block size; the chunk's and the form's sizes grow with it.
    void KeepAudioAlignment(SplicedFileStream* stream, unsigned int index) {
        unsigned int sound = index + 1;
        while (sound < file_->chunkCount() && file_->chunkName(sound) != soundChunk_) ++sound;
        if (sound >= file_->chunkCount()) return;
        const int64_t grow = stream->AlignmentPadding(file_->chunkOffset(sound) - 8);
        const int64_t tagStart = file_->chunkOffset(index);
        stream->seek(tagStart);
        const TagLib::ByteVector head = stream->readBlock(TagLib::ID3v2::Header::size());
        if (grow <= 0 || grow % 2 != 0 || head.size() != TagLib::ID3v2::Header::size()) return;
        TagLib::ID3v2::Header header(head);
        const int64_t tagSize = header.tagSize() + grow;
        if (!head.startsWith("ID3") || header.footerPresent() || tagSize >= (1 << 28)) return;
        const bool big = std::string(magic_) == "FORM";  // AIFF's sizes are big-endian
        stream->seek(4);
        const int64_t formSize = stream->readBlock(4).toUInt(big) + grow;
        const int64_t chunkSize = file_->chunkDataSize(index) + grow;
        if (formSize > 0xFFFFFFFFLL) return;
        stream->insert(
            TagLib::ByteVector(static_cast<unsigned int>(grow), '\0'),
            static_cast<unsigned long>(tagStart + TagLib::ID3v2::Header::size() + header.tagSize()),
            0);
        stream->seek(tagStart + 6);
        stream->writeBlock(TagLib::ID3v2::SynchData::fromUInt(static_cast<unsigned int>(tagSize)));
        stream->seek(tagStart - 4);
        stream->writeBlock(TagLib::ByteVector::fromUInt(static_cast<unsigned int>(chunkSize), big));
        stream->seek(4);
        stream->writeBlock(TagLib::ByteVector::fromUInt(static_cast<unsigned int>(formSize), big));
    }

    int type_;
    const char* magic_;
    const char* form_;
    const char* altForm_;
    const char* soundChunk_;
    std::unique_ptr<File> file_;
    std::unique_ptr<RiffStore> store_;
    AudioRange audio_;
};

}  // namespace

std::unique_ptr<TagLibFormat> MakeWavFormat() {
    return std::make_unique<RiffFormat<WavFile>>(FILE_TYPE_WAV, "RIFF", "WAVE", "WAVE", "data");
}

std::unique_ptr<TagLibFormat> MakeAiffFormat() {
    return std::make_unique<RiffFormat<AiffFile>>(FILE_TYPE_AIFF, "FORM", "AIFF", "AIFC", "SSND");
}
