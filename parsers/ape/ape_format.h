// The formats whose tag is an APE tag at their end: WavPack (.wv), Musepack
// (.mpc) and Monkey's Audio (.ape), the TagLibFormats of CTagLibFileParser
// for them. TagLib reads and saves the file; the tag is the APE tag
// (ApeStore), created on the first change, and an ID3v1 tag behind it (and,
// for Musepack and Monkey's Audio, an ID3v2 tag before the audio) fills in
// the values it lacks and is kept in step with every change.
//
// The audio is what lies between a leading ID3v2 tag and the trailing tags.
#ifndef LYPARSER_PARSERS_APE_APE_FORMAT_H
#define LYPARSER_PARSERS_APE_APE_FORMAT_H

#include <memory>

class TagLibFormat;

std::unique_ptr<TagLibFormat> MakeWavPackFormat();
std::unique_ptr<TagLibFormat> MakeMusepackFormat();
std::unique_ptr<TagLibFormat> MakeMonkeysAudioFormat();

#endif  // LYPARSER_PARSERS_APE_APE_FORMAT_H
