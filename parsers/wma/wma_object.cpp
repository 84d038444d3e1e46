#include "parsers/wma/wma_object.h"

#include "core/little_endian.h"
#include "core/platform_file.h"

CWMAObject::~CWMAObject() = default;

int CWMAObject::Initialize() {
    bodyStart_ = 0;
    bodyEnd_ = -1;
    return 1;
}

void CWMAObject::Finalize() {}

int CWMAObject::Skip(int64_t* position) {
    bodyStart_ = *position;
    bodyEnd_ = bodyStart_ + static_cast<int64_t>(size_) - kAsfObjectHeaderSize;
    *position = bodyEnd_;
    return 1;
}

void CWMAObject::SetGUID(const AsfGuid& guid) { guid_ = guid; }

void CWMAObject::SetSize(uint64_t size) { size_ = size; }

uint64_t CWMAObject::GetSize() const { return size_; }

void WalkAsfObjects(std::FILE* file, int64_t length, CWMADataObject* data) {
    int64_t position = 0;
    int64_t remaining = length;
    while (remaining > 0) {
        unsigned char header[kAsfObjectHeaderSize];
        if (ReadAt(file, position, header, kAsfObjectHeaderSize) != kAsfObjectHeaderSize) return;
        const uint64_t size = LittleEndian(header + 16, 8);
        // An object smaller than its header would walk backwards or crawl a
        // byte at a time; it ends the walk like a size of 0.
        if (static_cast<int64_t>(size) < kAsfObjectHeaderSize ||
            size > static_cast<uint64_t>(remaining)) {
            return;
        }
        AsfGuid guid;
        for (size_t i = 0; i < guid.size(); ++i) guid[i] = header[i];
        position += kAsfObjectHeaderSize;
        if (guid == kAsfDataObjectGuid) {
            data->SetGUID(guid);
            data->SetSize(size);
            data->Skip(&position);
        } else {
            CWMAObject other;
            other.SetGUID(guid);
            other.SetSize(size);
            other.Skip(&position);
        }
        remaining -= static_cast<int64_t>(size);
    }
}
