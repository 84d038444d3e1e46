// UpgradeToVersion24: what an ID3v2 tag needs, beyond TagLib's own
// conversion, before TagLib renders it as 2.4, so that a save loses none of
// the user's text:
// - a text frame 2.4 has no place for (TRDA, a TDAT or TIME that TagLib
//   could not merge into TDRC, a 2.2 frame with no four-letter name) becomes
//   a user text frame (TXXX) described by its identifier; TSIZ goes;
// - a frame TagLib knows (text, comments, lyrics, pictures...) that is
//   flagged to be dropped when unknown loses the flag;
// - a 2.2/2.3 genre text becomes 2.4 genre fields: "(17)Text" becomes "17"
//   and "Text", so that 2.4 rules read it as its version's rules did.
//
// Acts on a tag it does not own; one thread at a time.
#ifndef LYPARSER_PARSERS_MPEG_ID3V2_UPGRADE_H
#define LYPARSER_PARSERS_MPEG_ID3V2_UPGRADE_H

#include <taglib/id3v2tag.h>

// Readies `tag` (not null) for rendering as 2.4; a second call changes
// nothing more.
void UpgradeToVersion24(TagLib::ID3v2::Tag* tag);

#endif  // LYPARSER_PARSERS_MPEG_ID3V2_UPGRADE_H
