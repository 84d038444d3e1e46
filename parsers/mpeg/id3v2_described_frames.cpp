// ID3v2ExtendedTag's comment, lyrics and URL: the frames without a
// description, by the rules of Id3v2Frames.
#include "parsers/mpeg/id3v2_extended_tag.h"

using Text = ExtendedTag::Text;

Text ID3v2ExtendedTag::comment() const { return frames_.Described("COMM"); }
Text ID3v2ExtendedTag::lyrics() const { return frames_.Described("USLT"); }
Text ID3v2ExtendedTag::url() const { return frames_.Described("WXXX"); }

void ID3v2ExtendedTag::setComment(const Text& value) { frames_.SetDescribed("COMM", value); }
void ID3v2ExtendedTag::setLyrics(const Text& value) { frames_.SetDescribed("USLT", value); }
void ID3v2ExtendedTag::setUrl(const Text& value) { frames_.SetDescribed("WXXX", value); }
