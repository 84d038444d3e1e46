// Large, valid audio files for tests that need a save to take a while, each of
// at least `bytes` bytes (a little more, never less) with a small tag, made in
// memory in well under a second. Thread-safe (no shared state).
#ifndef LYPARSER_TESTS_SUPPORT_LARGE_FILES_H
#define LYPARSER_TESTS_SUPPORT_LARGE_FILES_H

#include <cstddef>

#include "tests/support/temp_dir.h"

// An ID3v2.3 tag, 128 kbit/s frames, an ID3v1 tag.
Bytes MakeLargeMp3(size_t bytes);
// A short encoded tone whose audio packets repeat, granules carried on.
Bytes MakeLargeOgg(size_t bytes);
// A header with content description and one attribute, then 4 KiB packets.
Bytes MakeLargeWma(size_t bytes);
// The movie atom, titled, before the audio, with a chunk offset every 4 KiB.
Bytes MakeLargeM4a(size_t bytes);

#endif  // LYPARSER_TESTS_SUPPORT_LARGE_FILES_H
