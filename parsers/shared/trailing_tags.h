// The tags some formats carry at the end of the file, behind their audio:
// an ID3v1 tag (the last 128 bytes, "TAG") and, before it, an APE tag
// (located by its footer). Thread-safe for distinct streams.
#ifndef LYPARSER_PARSERS_SHARED_TRAILING_TAGS_H
#define LYPARSER_PARSERS_SHARED_TRAILING_TAGS_H

#include <cstdint>

namespace TagLib {
class IOStream;
}

struct TrailingTags {
    int64_t id3v1 = -1;  // offset of the ID3v1 tag, -1 without one
    int64_t ape = -1;    // offset of the APE tag (its header, when it has one), -1 without one
    int64_t start = 0;   // where the first of them starts: the end of the audio
};

// Looks at the end of `stream`, never before `after` (the end of what the
// file holds at its start).
TrailingTags FindTrailingTags(TagLib::IOStream* stream, int64_t after);

#endif  // LYPARSER_PARSERS_SHARED_TRAILING_TAGS_H
