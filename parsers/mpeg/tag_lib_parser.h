// CTagLibParser: the parser for files TagLib reads: MPEG audio (".MP3",
// ".ACC"), FLAC (".FLAC"), Musepack (".MPC", ".APE") and, unused here, Ogg
// Vorbis (".OGG"). The controller sends it ".MP3" names only.
//
// It answers fields through the extended tag model (ids 0-6 the ID3v1 tag,
// 7-13 the ID3v2 tag of an MP3), writes them back with the tag mask, reports
// the audio range, technical texts and descriptions. One instance belongs to
// one thread at a time; no TagLib type leaves it.
//
// Between calls it holds no descriptor and nothing read from the file. The
// calls that read (OpenFile, GetSourceLength, the saves and the immediate
// tag removals) open the path again and read only while it names the file
// as it was opened or last saved; otherwise nothing is read and nothing is
// written.
#ifndef LYPARSER_PARSERS_MPEG_TAG_LIB_PARSER_H
#define LYPARSER_PARSERS_MPEG_TAG_LIB_PARSER_H

#include <taglib/fileref.h>

#include <memory>

#include "core/ibase_tag.h"
#include "parsers/shared/tag_store_keys.h"

class CMPEGFile;
class ExtendedTag;
class SplicedFileStream;

class CTagLibParser : public IBaseTag {
public:
    // `fileType` is the code the controller chose (1, 6 or 7), answered by
    // GetFileType.
    explicit CTagLibParser(int fileType);
    ~CTagLibParser() override;

    int Initialize() override;
    void Finalize() override;
    // Nonzero when the name's file class opened a valid file. Anything that
    // is not a regular file is refused without being opened.
    int OpenFile(StringEx path) override;
    // Drops the file and every unsaved change; the tag mask stays.
    void CloseFile() override;
    // Writes with the tag mask; before the host has set it (fields 36, 37),
    // with the tags the file has. 0 for a file named .mp3 without audio.
    // When no call changed a field or a picture and the mask keeps the tags
    // the file has, nothing is written (not even a 2.3 tag as 2.4) and the
    // result is 1.
    int ApplyFile() override;
    // Records a change in memory: 1 when taken (a value the field already
    // reads changes nothing), 0 for an id this parser does not take and for a
    // value it refuses (a picture file that holds no known image, a URL of
    // 10000 characters or more). Ids 36 and 37 with a "no" value remove that
    // tag from the file at once when the file holds it.
    int SetData(int fieldId, StringEx value) override;
    StringEx GetData(int fieldId) override;
    // Every frame and picture of the ID3v2 tag by the keys of TagStoreKeys;
    // a change that adds to it makes the tag when the file has none.
    int SetExData(StringEx key, StringEx value) override;
    StringEx GetExData(StringEx key) override;
    StringEx GetMD5(int* start, int* end) override;
    StringEx GetDescription(int kind, StringEx text, int preferSecond) override;
    StringEx GetFileInfo(int kind) override;
    int GetFileType() override;
    // MPEG: the audio start and end (which may lie past the end of the file);
    // others: 0 and 0. Returns end minus start. When the path no longer names
    // the file as it was, the search reads nothing and answers as for a file
    // without audio: start 0, the end by the same rule.
    int GetSourceLength(int* start, int* end) override;
    // Writes with `tagMask`; the stored mask is unchanged. 0 on failure.
    int ApplyFileEx(int tagMask) override;
    int DeleteAttachedPicture() override;
    int DeleteLyrics() override;
    // Copies the picture bytes (GetData(34) of them); returns the count.
    int GetAttachedPictureData(void* destination) override;

private:
    // Held by each call that reads the file: when the call returns, the
    // stream lets go of its descriptor and of what it read, so that between
    // calls a handle holds neither.
    class FileUse {
    public:
        explicit FileUse(CTagLibParser* parser) : parser_(parser) {}
        ~FileUse();
        FileUse(const FileUse&) = delete;
        FileUse& operator=(const FileUse&) = delete;

    private:
        CTagLibParser* parser_;
    };

    StringEx GetPresenceField(int fieldId);
    // Field 33 or 34 while a host chose a picture type.
    StringEx GetChosenPicture(int fieldId);
    StringEx GetID3v2OnlyField(int fieldId);
    int SetPresenceField(int fieldId, StringEx value);
    int SetID3v2OnlyField(int fieldId, StringEx value);
    // True when a save with `tagMask` would write nothing the file lacks.
    bool NothingToWrite(int tagMask) const;
    StringEx InformationReport();
    // Parses the tags of stream_'s content; false when it holds no valid file.
    bool ParseStream();
    // Saves the content TagLib made to disk and reads it back; the audio
    // search, when it has run, is repeated on the new file.
    bool WriteChanges();
    // Saves a tag removal TagLib made; when the file keeps the tag after all
    // (a full disk, another program changed it), reads the file again, so
    // that the handle answers what it holds.
    void WriteStrip();

    int fileType_;
    int tagMask_ = 0;
    bool maskSet_ = false;  // by SetData(36 or 37)
    bool changed_ = false;  // a field or picture changed since the open or the last save
    StringEx path_;
    std::unique_ptr<SplicedFileStream> stream_;  // outlives file_
    TagLib::FileRef file_;
    std::unique_ptr<ExtendedTag> tag_;
    CMPEGFile* mpeg_ = nullptr;  // file_'s file when it is MPEG audio
    TagStoreKeys keys_;
};

#endif  // LYPARSER_PARSERS_MPEG_TAG_LIB_PARSER_H
