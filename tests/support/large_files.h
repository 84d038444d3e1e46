// Large, valid audio files for tests that need a save to take a while: an
// MP3, an Ogg Vorbis and a Windows Media file of tens of megabytes, each with
// a small tag, made in memory in well under a second. Thread-safe (no shared
// state).
#ifndef LYPARSER_TESTS_SUPPORT_LARGE_FILES_H
#define LYPARSER_TESTS_SUPPORT_LARGE_FILES_H

#include <cstddef>

#include "tests/support/temp_dir.h"

enum class LargeFormat { kMp3, kOggVorbis, kWma };

// The name extension the module picks the format's parser by: "mp3", "ogg", "wma".
const char* LargeFileExtension(LargeFormat format);

// A file of `format` of at least `bytes` bytes (a little more, never less):
// MP3: an ID3v2.3 tag, 128 kbit/s frames, an ID3v1 tag. Ogg Vorbis: a short
// encoded tone whose audio packets repeat, granules carried on. WMA: a header
// with content description and one attribute, then 4 KiB packets.
Bytes MakeLargeFile(LargeFormat format, size_t bytes);

#endif  // LYPARSER_TESTS_SUPPORT_LARGE_FILES_H
