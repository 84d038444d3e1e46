// IBaseTag: the one interface through which the controller drives a parser.
//
// Every operation here that has a body is the "unsupported" default: 0, empty
// text, or 2 for the delete operations. Parsers override what they support.
// A parser belongs to one thread at a time; no operation throws on purpose,
// and the exported functions catch whatever a library throws.
#ifndef LYPARSER_CORE_IBASE_TAG_H
#define LYPARSER_CORE_IBASE_TAG_H

#include <utility>

#include "core/gbuffer.h"
#include "core/string_ex.h"
#include "lyParser.h"

class IBaseTag {
public:
    virtual ~IBaseTag();

    // Runs once after construction, before any open; resets the parser.
    virtual int Initialize() = 0;
    // Runs after CloseFile, also after a failed open.
    virtual void Finalize() = 0;
    // Nonzero when the parser can serve further calls. `path` keeps the width
    // the host used.
    virtual int OpenFile(StringEx path) = 0;
    virtual int OpenBinaryFile(const unsigned char* data, int size);
    // Must accept a half-opened state.
    virtual void CloseFile();
    virtual int ApplyFile();
    virtual int SetData(int fieldId, StringEx value);
    virtual int SetExData(StringEx key, StringEx value);
    virtual StringEx GetData(int fieldId) = 0;
    virtual StringEx GetExData(StringEx key);
    // `data` belongs to the caller; copy what must be kept.
    virtual void SetLyrics(CGBuffer* data);
    virtual void GetLyrics(int a, int b, int c, int d, int e);
    virtual void SetAllLyric(StringEx text);
    virtual StringEx GetAllLyric(int arg);
    // *start is a byte offset, *end a byte count; 32 hex digits or empty text.
    virtual StringEx GetMD5(int* start, int* end);
    virtual StringEx GetDescription(int kind, StringEx text, int flag);
    virtual StringEx GetFileInfo(int kind);
    virtual int GetFileType() = 0;
    // Writes the audio range through the pointers; the default writes nothing.
    virtual int GetSourceLength(int* start, int* end);
    virtual int ApplyFileEx(int tagMask);
    virtual int DeleteAttachedPicture();
    virtual int DeleteLyrics();
    // Copies the first attached picture into `destination`; returns the bytes copied.
    virtual int GetAttachedPictureData(void* destination);

    // The path the controller opened this handle with, in the width the host
    // used; empty for a memory image. The module's own keys answer from it.
    const StringEx& OpenedPath() const { return openedPath_; }
    void SetOpenedPath(StringEx path) { openedPath_ = std::move(path); }

private:
    StringEx openedPath_;
};

#endif  // LYPARSER_CORE_IBASE_TAG_H
