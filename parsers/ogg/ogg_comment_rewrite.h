// The comment-header rewrite of an Ogg Vorbis or Opus file: the new comment
// header is laid into the pages that held the old one, and every other byte
// of the file is copied as it is.
//
// The new header fills those pages (up to 255 segments, about 64 KB, each)
// rather than adding one, so the pages behind it, the setup header's and the
// audio's, keep their bytes. Only when it needs more pages (or, unpadded,
// fewer) are the stream's later pages renumbered: their sequence numbers and
// checksums change, nothing else. A later link of a chain, and other
// streams' pages, are never touched.
//
// No state of its own; one thread at a time per save.
#ifndef LYPARSER_PARSERS_OGG_OGG_COMMENT_REWRITE_H
#define LYPARSER_PARSERS_OGG_OGG_COMMENT_REWRITE_H

#include <cstdint>
#include <string>

#include "parsers/ogg/ogg_stream_headers.h"

class FileReader;
class FileSave;

struct OggCommentRewrite {
    std::string pages;  // in place of the old comment pages
    int added = 0;      // pages more than before (fewer when negative)
};

// Lays `packet` into pages of stream `serial` in the place of `old`. With
// `padding`, a packet too small to give each old page a segment is
// lengthened with zero bytes (Opus allows that) so that the page count stays.
// With `alignTo` (a block size; 0 for none), the packet is lengthened with
// less than a block of zero bytes where that makes the new pages take as many
// bytes modulo the block as the old ones, so that the pages behind keep
// their place within a block and a save shares their blocks; never where it
// changes the page count. Only for packets that readers allow zero bytes to
// end (docs/saving.md).
OggCommentRewrite LayCommentPages(const OggCommentPages& old, std::string packet, uint32_t serial,
                                  bool padding, int64_t alignTo = 0);

// Writes the new file into `save`: the `length` bytes of `source` (the file
// being saved) with the old comment pages replaced and, when the count
// changed, stream `serial`'s later pages renumbered until it ends. False when
// a read or a write failed; `source` stays the caller's.
bool WriteRewrittenFile(FileSave* save, FileReader* source, int64_t length,
                        const OggCommentPages& old, const OggCommentRewrite& rewrite,
                        uint32_t serial);

#endif  // LYPARSER_PARSERS_OGG_OGG_COMMENT_REWRITE_H
