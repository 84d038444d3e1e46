// The ID3v1 genre list: the published 80 names with the Winamp extensions,
// 148 names in all (0 "Blues" to 147 "Synthpop"). Thread-safe.
#ifndef LYPARSER_PARSERS_MPEG_ID3V1_GENRES_H
#define LYPARSER_PARSERS_MPEG_ID3V1_GENRES_H

#include <taglib/tstring.h>

constexpr int kID3v1GenreCount = 148;

// The name of genre `index`; empty outside 0..147.
TagLib::String ID3v1GenreName(long long index);
// The index of the name that equals `name` exactly, or -1.
int ID3v1GenreIndex(const TagLib::String& name);

#endif  // LYPARSER_PARSERS_MPEG_ID3V1_GENRES_H
