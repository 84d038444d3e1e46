// A disc's table of contents as libcdio reads it from a drive or an image,
// and what the player's engine would say of it: the CDDB query text (with the
// freedb disc identity) and the track lengths.
#ifndef LYPARSER_TOOLS_LYTAG_CD_DISC_H
#define LYPARSER_TOOLS_LYTAG_CD_DISC_H

#include <string>
#include <vector>

struct CdDisc {
    std::string source;            // device or image it was read from
    char letter = 'D';             // the drive letter lytag shows it under
    std::vector<int> trackStarts;  // frame offset of each track (150 for the disc's start)
    int leadOut = 0;               // frame offset of the lead-out

    int TrackCount() const { return static_cast<int>(trackStarts.size()); }
    // "discid count offset... seconds", as a CDDB query takes it.
    std::string QueryText() const;
    std::string DiscId() const;
    // Bytes of 44.1 kHz 16-bit stereo audio in track `index` (0-based).
    int TrackBytes(int index) const;
    // The lead-out in whole seconds, as the CDDB query gives the disc's length.
    int Seconds() const { return leadOut / 75; }
    // The playing time from the first track's start to the lead-out.
    int PlaySeconds() const { return trackStarts.empty() ? 0 : (leadOut - trackStarts[0]) / 75; }
};

// Reads the table of contents of `source`; false with *error set on failure.
bool ReadCdDisc(const std::string& source, CdDisc* disc, std::string* error);
// The CD drives libcdio finds on this machine.
std::vector<std::string> FindCdDrives();

#endif  // LYPARSER_TOOLS_LYTAG_CD_DISC_H
