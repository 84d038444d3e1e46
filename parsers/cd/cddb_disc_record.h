// CddbDiscRecord: the names of one disc, as a freedb lookup found them.
#ifndef LYPARSER_PARSERS_CD_CDDB_DISC_RECORD_H
#define LYPARSER_PARSERS_CD_CDDB_DISC_RECORD_H

#include <string>
#include <vector>

// All text in UTF-8, whatever encoding the server answered in.
struct CddbDiscRecord {
    std::string discId;  // the disc's CDDB identity; the cache key
    std::string artist;  // the disc title line "Artist / Album" before its first " / "
    std::string album;   // and after it; a line without " / " is both
    std::string year;
    std::string genre;                     // the freedb category
    std::vector<std::string> trackTitles;  // one per track, in disc order
};

#endif  // LYPARSER_PARSERS_CD_CDDB_DISC_RECORD_H
