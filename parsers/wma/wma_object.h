// CWMAObject and CWMADataObject: records of top-level ASF objects, and the
// walk over a file's top-level objects that finds where the Data Object's
// body (the audio packets) lies.
//
// Positions are 64-bit throughout, so files of any size are walked; callers
// that report through 32-bit values cut them themselves. The walk reads only
// object headers, never bodies. Objects belong to one thread at a time.
#ifndef LYPARSER_PARSERS_WMA_WMA_OBJECT_H
#define LYPARSER_PARSERS_WMA_WMA_OBJECT_H

#include <cstdint>
#include <cstdio>

#include "parsers/wma/asf_guid.h"

// Every top-level object starts with its GUID and its 64-bit size, which
// counts these 24 bytes too.
constexpr int64_t kAsfObjectHeaderSize = 24;

class CWMAObject {
public:
    virtual ~CWMAObject();

    // Forgets any position: body start 0, body end -1. Returns 1.
    virtual int Initialize();
    virtual void Finalize();
    // Records the body of an object whose 24-byte header ends at *position
    // (start = *position, end = start + size - 24) and moves *position past
    // the object. Returns 1.
    virtual int Skip(int64_t* position);
    virtual void SetGUID(const AsfGuid& guid);
    virtual void SetSize(uint64_t size);
    virtual uint64_t GetSize() const;

    const AsfGuid& guid() const { return guid_; }
    int64_t bodyStart() const { return bodyStart_; }
    int64_t bodyEnd() const { return bodyEnd_; }

private:
    AsfGuid guid_{};
    uint64_t size_ = 0;
    int64_t bodyStart_ = 0;
    int64_t bodyEnd_ = -1;
};

// The one Data Object a parser keeps; it behaves as any other object.
class CWMADataObject : public CWMAObject {};

// Walks the top-level objects of `file` (of `length` bytes) from its start
// and gives every Data Object met to `data` (SetGUID, SetSize, Skip), so the
// last one wins. The walk stops at the end, at a short read, and at an object
// whose size is below its own header, beyond the bytes left, or negative as a
// signed 64-bit value. `data` is left as it was when none is found.
void WalkAsfObjects(std::FILE* file, int64_t length, CWMADataObject* data);

#endif  // LYPARSER_PARSERS_WMA_WMA_OBJECT_H
