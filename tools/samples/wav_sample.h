// A RIFF/WAVE file of 16-bit PCM made from code, without tags.
#ifndef LYPARSER_TOOLS_SAMPLES_WAV_SAMPLE_H
#define LYPARSER_TOOLS_SAMPLES_WAV_SAMPLE_H

#include <string>
#include <vector>

// A sine tone of `seconds` at `rate` Hz with `channels` channels.
std::vector<unsigned char> MakeWavTone(double seconds, int rate = 8000, int channels = 1);

#endif  // LYPARSER_TOOLS_SAMPLES_WAV_SAMPLE_H
