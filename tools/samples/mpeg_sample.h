// MPEG audio files made from code: frames of silence with a chosen header,
// and a small tagged MP3 for `lytag demo`. Thread-safe (no shared state).
#ifndef LYPARSER_TOOLS_SAMPLES_MPEG_SAMPLE_H
#define LYPARSER_TOOLS_SAMPLES_MPEG_SAMPLE_H

#include <cstdint>
#include <string>
#include <vector>

using MpegBytes = std::vector<unsigned char>;

// The frame header of MPEG-1 Layer III, 128 kbit/s, 44100 Hz, stereo, no CRC:
// frames of 417 bytes.
constexpr uint32_t kMp3Header128k = 0xFFFB9000u;
constexpr int kMp3FrameLength128k = 417;

// `count` frames of `frameLength` bytes, each the four bytes of `header`
// (most significant first) followed by zero bytes, or, with a `noiseSeed`
// other than 0, by noise that seed repeats (audio that does not compress).
MpegBytes MakeMpegFrames(uint32_t header, int frameLength, int count, uint32_t noiseSeed = 0);

// An ID3v2.3 tag holding Latin-1 text frames, e.g. {{"TIT2", "Title"}}.
MpegBytes MakeId3v23Tag(const std::vector<std::pair<std::string, std::string>>& textFrames);

// An ID3v1.1 tag: 128 bytes, texts cut to their fields.
MpegBytes MakeId3v1Tag(const std::string& title, const std::string& artist,
                       const std::string& album, const std::string& year,
                       const std::string& comment, int track, int genre);

// A tagged two-second MP3: an ID3v2.3 tag, 128 kbit/s frames, an ID3v1 tag.
MpegBytes MakeMp3Sample();

#endif  // LYPARSER_TOOLS_SAMPLES_MPEG_SAMPLE_H
