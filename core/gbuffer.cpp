#include "core/gbuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

CGBuffer::CGBuffer() : data_(new unsigned char[kStep]), capacity_(kStep) {}

CGBuffer::~CGBuffer() { delete[] data_; }

int32_t CGBuffer::Reserve(int32_t needed) {
    if (capacity_ >= needed) return capacity_;
    int64_t capacity = capacity_;
    while (capacity < needed) capacity += kStep;
    if (capacity > INT32_MAX) throw std::bad_alloc();
    auto* block = new unsigned char[static_cast<size_t>(capacity)];
    if (size_ > 0) std::memcpy(block, data_, static_cast<size_t>(size_));
    delete[] data_;
    data_ = block;
    capacity_ = static_cast<int32_t>(capacity);
    return capacity_;
}

int32_t CGBuffer::Insert(int32_t position, const void* source, int32_t length) {
    if (position < 0 || position > size_ || length < 0) return size_;
    if (static_cast<int64_t>(size_) + length > INT32_MAX) throw std::bad_alloc();
    Reserve(size_ + length);
    std::memmove(data_ + position + length, data_ + position,
                 static_cast<size_t>(size_ - position));
    size_ += length;
    Reserve(std::max(size_, position + length));
    if (length > 0) std::memcpy(data_ + position, source, static_cast<size_t>(length));
    size_ = std::max(size_, position + length);
    return size_;
}

int32_t CGBuffer::Append(const char* text) {
    if (!text) return size_;
    size_t length = std::strlen(text);
    if (length > static_cast<size_t>(INT32_MAX)) throw std::bad_alloc();
    return Insert(size_, text, static_cast<int32_t>(length));
}
