// CTagLibFileParser: the parser for the formats TagLib reads beyond MP3 and
// Ogg Vorbis: FLAC, MP4, WAV, AIFF, WavPack, Musepack and Monkey's Audio.
// What they share lives here: the field ids by property name (one tag answers
// ids 0-6 and 7-13 alike), the picture, the save through the spliced stream,
// the technical texts, the audio range and digest, the descriptions. What each
// format adds is a TagLibFormat.
//
// The name chooses the format tried first; a file whose content is another
// of these formats is read as that one (and answers its type). A file none of
// them reads is refused, and the controller hands it to the fallback parser.
//
// Between calls a handle holds no descriptor: the stream opens the path again
// when it must read, and only while the path names the file as it was opened
// or last saved. One instance belongs to one thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_TAG_LIB_FILE_PARSER_H
#define LYPARSER_PARSERS_SHARED_TAG_LIB_FILE_PARSER_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/ibase_tag.h"
#include "parsers/shared/tag_lib_format.h"
#include "parsers/shared/tag_store_keys.h"

class CTagLibFileParser : public IBaseTag {
public:
    // `fileType` is the code the name chose; `makers` the formats to try, in
    // order (those of that code first).
    CTagLibFileParser(int fileType, std::vector<TagLibFormatMaker> makers);
    ~CTagLibFileParser() override;

    int Initialize() override;
    void Finalize() override;
    // Nonzero when one of the formats reads the file. Anything that is not a
    // regular file is refused without being opened.
    int OpenFile(StringEx path) override;
    void CloseFile() override;
    // Writes the changes; 1 without writing anything when nothing changed.
    // 0, the file as it was, when the save is refused or fails: the changes
    // stay pending, unless the file cannot hold them (the file as the format
    // would write it does not read back as the changes say), which drops them.
    int ApplyFile() override;
    // 1 when the change was taken (or the field already reads the value);
    // 0 for ids without a field here and values the tag cannot hold.
    int SetData(int fieldId, StringEx value) override;
    StringEx GetData(int fieldId) override;
    // Every item and picture of the tag by the keys of TagStoreKeys.
    int SetExData(StringEx key, StringEx value) override;
    StringEx GetExData(StringEx key) override;
    // The digest never reads past the audio into a trailing tag.
    StringEx GetMD5(int* start, int* end) override;
    StringEx GetDescription(int kind, StringEx text, int preferSecond) override;
    StringEx GetFileInfo(int kind) override;
    int GetFileType() override;
    // The audio's start offset and its length in bytes; returns the file
    // length (low 32 bits each).
    int GetSourceLength(int* start, int* end) override;
    // Removes every picture (in memory until the save); returns 1.
    int DeleteAttachedPicture() override;
    // Copies the picture field 34 counts; returns the bytes copied.
    int GetAttachedPictureData(void* destination) override;

private:
    // Held by each call that reads the file: afterwards the stream lets go of
    // its descriptor and of what it read.
    class FileUse {
    public:
        explicit FileUse(CTagLibFileParser* parser) : parser_(parser) {}
        ~FileUse();
        FileUse(const FileUse&) = delete;
        FileUse& operator=(const FileUse&) = delete;

    private:
        CTagLibFileParser* parser_;
    };

    bool ReadFormat();
    // What the store answers now for every property, item and picture
    // changed, to compare with a fresh reading after the format's write.
    std::vector<std::string> ChangedState(TagStore* store) const;
    int SetPictureFile(StringEx path);
    StringEx InformationReport();

    int fileType_;
    std::vector<TagLibFormatMaker> makers_;
    TagLibFormatMaker served_ = nullptr;  // the maker whose format read the file
    StringEx path_;
    std::unique_ptr<SplicedFileStream> stream_;  // outlives format_
    std::unique_ptr<TagLibFormat> format_;
    bool changed_ = false;                 // the store holds changes not yet written
    std::vector<std::string> properties_;  // the properties those changes touched
    std::vector<TagLib::String> items_;    // the item keys they touched
    bool pictureChanged_ = false;
    TagStoreKeys keys_;
};

#endif  // LYPARSER_PARSERS_SHARED_TAG_LIB_FILE_PARSER_H
