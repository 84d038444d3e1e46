// FLAC files made from code: STREAMINFO (44.1 kHz, 16-bit stereo, 4 s), the
// metadata blocks given, then noise standing for the audio frames (tag
// readers read no further than the metadata) and anything to put behind it.
#ifndef LYPARSER_TOOLS_SAMPLES_FLAC_SAMPLE_H
#define LYPARSER_TOOLS_SAMPLES_FLAC_SAMPLE_H

#include <string>
#include <vector>

using SampleBytes = std::vector<unsigned char>;

struct FlacBlock {
    int type;  // 1 PADDING, 2 APPLICATION, 4 VORBIS_COMMENT, 6 PICTURE, ...
    SampleBytes data;
};

SampleBytes MakeFlac(const std::vector<FlacBlock>& blocks, size_t audioBytes = 4000,
                     const SampleBytes& tail = {});
// A VORBIS_COMMENT block's data: the vendor, then `comments` ("NAME=value").
SampleBytes FlacComments(const std::vector<std::string>& comments);
// A PICTURE block's data: picture `type`, `mimeType`, no description, `image`.
SampleBytes FlacPicture(int type, const std::string& mimeType, const SampleBytes& image);
// `count` bytes of noise from `seed`.
SampleBytes NoiseBytes(size_t count, unsigned seed = 1);

#endif  // LYPARSER_TOOLS_SAMPLES_FLAC_SAMPLE_H
