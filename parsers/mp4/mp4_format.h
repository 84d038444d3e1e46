// MP4 files (.m4a, .m4b, .mp4; AAC and ALAC audio, and the sound of a video):
// the TagLibFormat of CTagLibFileParser for them. TagLib walks the atoms and
// reads the audio properties; the metadata list is this module's Mp4Items,
// and a save splices the new list into the file itself: into the free atoms
// around the list when it fits, else growing the atoms that hold it and
// moving every chunk offset (stco, co64, tfhd) that points behind it. A file
// whose 32-bit chunk offsets would overflow, or whose atoms around the list
// do not nest in each other, is refused, never corrupted.
//
// The audio is the payload of the first "mdat" atom.
#ifndef LYPARSER_PARSERS_MP4_MP4_FORMAT_H
#define LYPARSER_PARSERS_MP4_MP4_FORMAT_H

#include <memory>

class TagLibFormat;

std::unique_ptr<TagLibFormat> MakeMp4Format();

#endif  // LYPARSER_PARSERS_MP4_MP4_FORMAT_H
