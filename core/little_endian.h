// Little-endian numbers in file bytes (ASF, Vorbis). Thread-safe.
#ifndef LYPARSER_CORE_LITTLE_ENDIAN_H
#define LYPARSER_CORE_LITTLE_ENDIAN_H

#include <cstdint>

// The `width`-byte (1 to 8) little-endian number at `bytes`.
inline uint64_t LittleEndian(const unsigned char* bytes, int width) {
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

#endif  // LYPARSER_CORE_LITTLE_ENDIAN_H
