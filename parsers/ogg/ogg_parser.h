// COGGParser: the parser of Ogg Vorbis files. It opens a file by name (or the
// start of one from a memory image), reads the stream properties and the
// comments through the comment-header editor, answers and records comment
// fields by identifier and by name, composes the description texts and saves
// by rewriting the whole stream beside the file and replacing it.
//
// One instance belongs to one thread at a time. Nothing reaches the file
// before ApplyFile.
#ifndef LYPARSER_PARSERS_OGG_OGG_PARSER_H
#define LYPARSER_PARSERS_OGG_OGG_PARSER_H

#include <cstdint>
#include <string>

#include "core/file_identity.h"
#include "core/ibase_tag.h"
#include "parsers/vorbis_comment/vorbis_comment_list.h"

struct VorbisEditState;

class COGGParser : public IBaseTag {
public:
    // The setup-header marker is first searched for in windows starting at
    // 0..this; beyond it, the file's pages are walked to the setup header.
    static constexpr int kMarkerSearchEnd = 5120;

    ~COGGParser() override;

    int Initialize() override;
    void Finalize() override;
    // 1 when the first 5130 bytes hold the setup-header marker or, in a file
    // that begins with an Ogg page, the first stream's setup header begins
    // with it further on (a large comment header), even when the headers then
    // cannot be read (no properties, no comments); else 0.
    int OpenFile(StringEx path) override;
    // Reads the comment list of a memory image of a file's start; the image is
    // not kept. 1 when the vendor text was found.
    int OpenBinaryFile(const unsigned char* data, int size) override;
    void CloseFile() override;
    // Rewrites the file with the recorded comments (those not changed keep
    // their bytes and places); 1 when it was replaced, and when no call
    // changed a value since the open or the last save (the file is then not
    // touched); 0 with the file untouched otherwise, as for a stream
    // multiplexed with another.
    int ApplyFile() override;
    // A value equal to what the field reads changes nothing; an empty one
    // removes every comment of the field; any other replaces them all with
    // one, at the place of the first. 0 for an identifier without a comment
    // name and for a memory image.
    int SetData(int fieldId, StringEx value) override;
    // As SetData for the comment `key` (a field's name sets that field); 0
    // for a name a comment cannot have (see VorbisCommentList::IsValidName).
    int SetExData(StringEx key, StringEx value) override;
    // Every value of the field's name, joined with "; ".
    StringEx GetData(int fieldId) override;
    // "" lists the names of the comments that are not fields, each followed by
    // ","; a field's name reads that field; any other name reads as GetData.
    StringEx GetExData(StringEx key) override;
    StringEx GetMD5(int* start, int* end) override;
    StringEx GetDescription(int kind, StringEx text, int flag) override;
    StringEx GetFileInfo(int kind) override;
    int GetFileType() override;
    int GetSourceLength(int* start, int* length) override;

private:
    void ClearLists();
    // Takes properties and comments from a header reader that has opened.
    void TakeHeaders(VorbisEditState* state);
    // Records `value` for every comment named `name` (see SetData).
    int SetNamed(const std::string& name, StringEx value);
    // Puts every recorded comment into the editor's list, in order.
    void FillEditorComments(VorbisEditState* state);

    std::string vendor_;
    int32_t channels_ = 0;
    int32_t sampleRate_ = 0;
    int32_t nominalBitrateK_ = 0;
    int32_t serialNumber_ = 0;
    int32_t version_ = 0;
    int32_t setupOffset_ = 0;
    int32_t fileLength_ = 0;
    VorbisCommentList comments_;  // in file order, then those added
    StringEx path_;
    FileIdentity identity_;  // the file as opened or last saved
    int32_t openedFromMemory_ = 0;
    int32_t noTokenFilled_ = 0;
};

#endif  // LYPARSER_PARSERS_OGG_OGG_PARSER_H
