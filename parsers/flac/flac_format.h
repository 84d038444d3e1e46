// FLAC files: the TagLibFormat of CTagLibFileParser for them. The file's own
// tag is its Vorbis comment block with its PICTURE blocks (FlacStore), read
// and rewritten by this module's own code, so that every block, comment and
// picture the host does not change keeps its bytes; TagLib reads the stream
// properties and the ID3v2 and ID3v1 tags some files carry beside it, which
// fill in values the comments lack and are kept in step with every change.
//
// The audio is everything after the last metadata block up to a trailing
// APE or ID3v1 tag.
#ifndef LYPARSER_PARSERS_FLAC_FLAC_FORMAT_H
#define LYPARSER_PARSERS_FLAC_FLAC_FORMAT_H

#include <memory>

class TagLibFormat;

std::unique_ptr<TagLibFormat> MakeFlacFormat();

#endif  // LYPARSER_PARSERS_FLAC_FLAC_FORMAT_H
