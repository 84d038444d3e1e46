// COGGParser: the parser of Ogg files that hold Vorbis or Opus. It opens a
// file by name (or the start of an Ogg Vorbis file from a memory image),
// reads the first Vorbis or Opus stream's headers, answers and records
// comment fields by identifier and by name (Opus: its pictures too),
// composes the description and technical texts, and saves by laying a new
// comment header into the file's own pages (ogg_comment_rewrite.h).
//
// One instance belongs to one thread at a time. Nothing reaches the file
// before ApplyFile.
#ifndef LYPARSER_PARSERS_OGG_OGG_PARSER_H
#define LYPARSER_PARSERS_OGG_OGG_PARSER_H

#include <cstdint>
#include <string>

#include "core/file_identity.h"
#include "core/ibase_tag.h"
#include "parsers/ogg/ogg_codec.h"
#include "parsers/ogg/ogg_picture_store.h"
#include "parsers/shared/tag_store_keys.h"
#include "parsers/vorbis_comment/vorbis_comment_list.h"

class OggStreamHeaders;

class COGGParser : public IBaseTag {
public:
    // The setup-header marker is first searched for in windows starting at
    // 0..this; beyond it, the file's pages are walked to the setup header.
    static constexpr int kMarkerSearchEnd = 5120;

    // `fileType` is the code the name chose: FILE_TYPE_OGG or FILE_TYPE_OPUS.
    explicit COGGParser(int fileType = FILE_TYPE_OGG) : fileType_(fileType) {}
    ~COGGParser() override;

    int Initialize() override;
    void Finalize() override;
    // 1 for a file whose first stream of a known codec is Opus, or Vorbis
    // whose setup-header marker lies in the first 5130 bytes or, in a file
    // that begins with an Ogg page, further on (a large comment header); a
    // file with the marker opens even when its headers cannot be read (no
    // properties, no comments). Else 0.
    int OpenFile(StringEx path) override;
    // Reads the comment list of a memory image of an Ogg Vorbis file's start
    // (type FILE_TYPE_OGG only); the image is not kept. 1 when the vendor
    // text was found.
    int OpenBinaryFile(const unsigned char* data, int size) override;
    void CloseFile() override;
    // Writes the recorded comments into the file's comment header (those not
    // changed keep their bytes and places); 1 when it was replaced, and when
    // no call changed a value since the open or the last save (the file is
    // then not touched); 0 with the file untouched otherwise, as for a stream
    // multiplexed with another.
    int ApplyFile() override;
    // A value equal to what the field reads changes nothing; an empty one
    // removes every comment of the field; any other replaces them all with
    // one, at the place of the first. 0 for an identifier without a comment
    // name and for a memory image. Opus: field 33 takes a picture file.
    int SetData(int fieldId, StringEx value) override;
    // As SetData for the comment `key` (a field's name sets that field); 0
    // for a name a comment cannot have (see VorbisCommentList::IsValidName).
    // Opus: the picture keys of TagStoreKeys.
    int SetExData(StringEx key, StringEx value) override;
    // Every value of the field's name, joined with "; ". Opus: 33 and 34 the
    // label and size of the picture shown (TagStoreKeys::ShownPicture).
    StringEx GetData(int fieldId) override;
    // "" lists the names of the comments that are not fields, each followed by
    // ","; a field's name reads that field; any other name reads as GetData.
    // Opus: the picture keys of TagStoreKeys.
    StringEx GetExData(StringEx key) override;
    StringEx GetMD5(int* start, int* end) override;
    StringEx GetDescription(int kind, StringEx text, int flag) override;
    StringEx GetFileInfo(int kind) override;
    // FILE_TYPE_OPUS for an Opus stream, else FILE_TYPE_OGG.
    int GetFileType() override;
    // Vorbis: from behind the setup-header marker; Opus: from the first page
    // behind the headers; both to the end of the file.
    int GetSourceLength(int* start, int* length) override;
    // Opus: removes every picture (in memory until the save); 1. Vorbis: 2.
    int DeleteAttachedPicture() override;
    // Opus: copies the picture field 34 counts; returns the bytes copied.
    int GetAttachedPictureData(void* destination) override;

private:
    void ClearLists();
    // Take the properties and comments the headers hold.
    void TakeVorbis(OggStreamHeaders* headers);
    void TakeOpus(OggStreamHeaders* headers);
    // Reads the comment header at `from` in `block`.
    void TakeComments(std::string block, size_t from);
    // Records `value` for every comment named `name` (see SetData).
    int SetNamed(const std::string& name, StringEx value);
    // The comment header a save writes: the codec's magic, the list, then the
    // framing bit (Vorbis) or what followed the list in `oldPacket` (Opus);
    // *padding tells whether zero bytes may be added at its end.
    std::string CommentPacket(const std::string& oldPacket, bool* padding) const;
    // Opus: the length in samples at 48 kHz, from the last page's granule.
    int64_t OpusSamples();
    StringEx OpusReport();
    // Opus pictures (ogg_parser_pictures.cpp).
    bool AnswersPictureKey(const std::string& key) const;
    StringEx PictureField(int fieldId);
    int SetPictureFile(StringEx path);
    int SetPictureKey(const std::string& key, StringEx value);

    int fileType_;
    OggCodec codec_ = OggCodec::kNone;
    std::string vendor_;
    int32_t channels_ = 0;
    int32_t sampleRate_ = 0;
    int32_t nominalBitrateK_ = 0;
    int32_t serialNumber_ = 0;
    int32_t version_ = 0;
    int32_t setupOffset_ = 0;
    int32_t fileLength_ = 0;
    OpusHead opus_;
    int64_t audioStart_ = 0;      // Opus: behind the header pages
    int64_t samples_ = -2;        // Opus: OpusSamples once known; -1 when it cannot be
    VorbisCommentList comments_;  // in file order, then those added
    OggPictureStore pictures_{&comments_};
    TagStoreKeys keys_;  // Opus: its picture keys
    StringEx path_;
    FileIdentity identity_;  // the file as opened or last saved
    int32_t openedFromMemory_ = 0;
    int32_t noTokenFilled_ = 0;
};

#endif  // LYPARSER_PARSERS_OGG_OGG_PARSER_H
