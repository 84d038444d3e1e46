// CGBuffer: the growable byte buffer in which binary data is handed to a parser.
//
// Capacity grows in steps of 1024 bytes. Not thread-safe.
#ifndef LYPARSER_CORE_GBUFFER_H
#define LYPARSER_CORE_GBUFFER_H

#include <cstdint>

class CGBuffer {
public:
    static constexpr int32_t kStep = 1024;

    CGBuffer();  // capacity 1024, size 0
    CGBuffer(const CGBuffer&) = delete;
    CGBuffer& operator=(const CGBuffer&) = delete;
    virtual ~CGBuffer();

    // Grows the capacity to at least `needed`, keeping the used bytes; returns
    // the capacity. Throws std::bad_alloc when memory runs out.
    int32_t Reserve(int32_t needed);
    // Inserts `length` bytes at `position` (0 <= position <= size, length >= 0);
    // returns the new size.
    int32_t Insert(int32_t position, const void* source, int32_t length);
    // Appends text (without its terminator); returns the new size.
    int32_t Append(const char* text);

    const unsigned char* Data() const { return data_; }
    unsigned char* Data() { return data_; }
    int32_t Size() const { return size_; }
    int32_t Capacity() const { return capacity_; }

private:
    unsigned char* data_ = nullptr;
    int32_t size_ = 0;
    int32_t capacity_ = 0;
};

#endif  // LYPARSER_CORE_GBUFFER_H
