// CTagParserControl: chooses, creates and opens parsers, and forwards the
// host's per-file calls to them. It holds no state: each operation works on
// the handle it is given. The exported functions reach parsers only through
// it, and only while it exists.
//
// Each set, save and strip (ApplyFile, SetData, SetExData,
// DeleteAttachedPicture) keeps why it failed as the handle's last failure
// (core/failure_reason.h), which GetExData answers for "lyparser:last-error";
// the keys the module answers itself are one table in the .cpp.
//
// Threads: no lock is taken; calls on one handle must not overlap.
#ifndef LYPARSER_API_TAG_PARSER_CONTROL_H
#define LYPARSER_API_TAG_PARSER_CONTROL_H

#include <string>

#include "core/ibase_tag.h"

class CTagParserControl {
public:
    virtual ~CTagParserControl();

    // A new parser for file-type code `type` (0 to 11), or null.
    IBaseTag* CreateParser(int type);
    // File-type code from the ending of the name (.mp3, .flac, ...).
    static int GetFileTypeFromName(const std::wstring& name);

    // The opening sequences: null when the parser refuses, after the parser
    // was closed, finalised and destroyed. The caller owns a returned handle.
    IBaseTag* OpenFile(StringEx path, int type);
    IBaseTag* OpenBinaryFile(const unsigned char* data, int size, int type);
    // CloseFile, Finalize, then destruction; null does nothing.
    void CloseFile(IBaseTag* handle);

    int ApplyFile(IBaseTag* handle);
    int SetData(IBaseTag* handle, int fieldId, StringEx value);
    int SetExData(IBaseTag* handle, StringEx key, StringEx value);
    StringEx GetData(IBaseTag* handle, int fieldId);
    StringEx GetExData(IBaseTag* handle, StringEx key);
    void SetLyrics(IBaseTag* handle, CGBuffer* data);
    void SetAllLyric(IBaseTag* handle, StringEx text);
    StringEx GetAllLyric(IBaseTag* handle, int arg);
    StringEx GetDescription(IBaseTag* handle, int kind, StringEx text, int flag);
    StringEx GetFileInfo(IBaseTag* handle, int kind);
    int GetFileType(IBaseTag* handle);
    int GetSourceLength(IBaseTag* handle, int* start, int* end);
    StringEx GetMD5(IBaseTag* handle, int* start, int* end);
    int DeleteAttachedPicture(IBaseTag* handle);
    int GetAttachedPictureData(IBaseTag* handle, void* destination);

    CBassAudio* GetBassAudio();

private:
    IBaseTag* Finish(IBaseTag* parser, int opened);
};

#endif  // LYPARSER_API_TAG_PARSER_CONTROL_H
