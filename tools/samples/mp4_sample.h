// MP4 (M4A) files made from code: one AAC sound track (44.1 kHz stereo,
// 2 s) whose chunk offsets point into the audio, and a metadata list.
#ifndef LYPARSER_TOOLS_SAMPLES_MP4_SAMPLE_H
#define LYPARSER_TOOLS_SAMPLES_MP4_SAMPLE_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/samples/flac_sample.h"

struct Mp4Layout {
    std::string offsetTable = "stco";  // the chunk offset table: "stco" (32-bit) or "co64"
    bool moovFirst = true;             // the movie atom before the audio, or after it
    uint64_t offsetBias = 0;           // added to every chunk offset
    std::vector<SampleBytes> items;    // the metadata list's atoms
    size_t audioBytes = 3000;          // noise standing for the audio
    size_t chunkBytes = 1000;          // a chunk offset every this many audio bytes
};

SampleBytes MakeMp4(const Mp4Layout& layout);
// An atom: its size, `name`, `content`.
SampleBytes Mp4Atom(const char* name, const SampleBytes& content);
// A metadata item holding one UTF-8 text.
SampleBytes Mp4TextItem(const char* name, const std::string& text);

#endif  // LYPARSER_TOOLS_SAMPLES_MP4_SAMPLE_H
