// Finds where the setup header of an Ogg Vorbis file's first logical stream
// lies by walking its pages, for files whose comment header (cover art, long
// lyrics) pushes the setup header beyond any fixed window. Reads through the
// platform seam; no state, thread-safe.
#ifndef LYPARSER_PARSERS_OGG_OGG_SETUP_LOCATOR_H
#define LYPARSER_PARSERS_OGG_OGG_SETUP_LOCATOR_H

#include <cstdint>
#include <cstdio>

// The file offset just behind the setup header's marker ("vorbis", the
// codebook count, "BCV"), where the marker is the start of the third packet
// of the stream whose first page begins the file. 0 when the file does not
// begin with a page, its pages are damaged or interrupted before that packet,
// or the packet is no setup header. Reads the file 4096 bytes at a time and
// holds one page at most.
int64_t LocateSetupMarker(std::FILE* file);

#endif  // LYPARSER_PARSERS_OGG_OGG_SETUP_LOCATOR_H
