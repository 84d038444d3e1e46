// WAV and AIFF files: the TagLibFormats of CTagLibFileParser for them. TagLib
// walks the chunks and reads the audio properties; the tag is the ID3v2
// chunk (and, for WAV, the LIST/INFO chunk it falls back on: RiffStore). A
// save writes the ID3v2 chunk in its place (creating it at the end when the
// file had none) and leaves every other chunk, INFO included, as it was.
//
// The audio is the sound data chunk: "data" (WAV), "SSND" (AIFF).
#ifndef LYPARSER_PARSERS_RIFF_RIFF_FORMAT_H
#define LYPARSER_PARSERS_RIFF_RIFF_FORMAT_H

#include <memory>

class TagLibFormat;

std::unique_ptr<TagLibFormat> MakeWavFormat();
std::unique_ptr<TagLibFormat> MakeAiffFormat();

#endif  // LYPARSER_PARSERS_RIFF_RIFF_FORMAT_H
