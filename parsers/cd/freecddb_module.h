// CFreeCDDBModule: an audio-CD track as a file. The first character of its
// path names the drive, its digits the track. Fields come from the disc's
// freedb record; an unknown disc starts a background lookup, and tracks
// opened after it finished get the names. A lookup that failed for a passing
// reason is started again by a later open (see disc_cache.h). Names are
// handed out as wide text, so each caller gets them in its own code page.
// Nothing is ever written.
//
// One instance belongs to one thread at a time; lookups run on their own
// threads and meet instances only through the disc cache.
#ifndef LYPARSER_PARSERS_CD_FREECDDB_MODULE_H
#define LYPARSER_PARSERS_CD_FREECDDB_MODULE_H

#include <string>

#include "core/ibase_tag.h"
#include "parsers/cd/cddb_disc_record.h"

class CFreeCDDBModule : public IBaseTag {
public:
    ~CFreeCDDBModule() override;

    int Initialize() override;
    void Finalize() override;
    // 1 for every non-empty path; may start a lookup of the disc.
    int OpenFile(StringEx path) override;
    // Accepts and discards every change.
    int SetData(int fieldId, StringEx value) override;
    StringEx GetData(int fieldId) override;
    // The track's identity text, padded with "0" to 32 characters.
    StringEx GetMD5(int* start, int* end) override;
    StringEx GetDescription(int kind, StringEx text, int flag) override;
    StringEx GetFileInfo(int kind) override;
    int GetFileType() override;

private:
    // Reads the disc identity of the drive named by `drive`; false without one.
    bool ReadDiscIdentity(const std::string& drive);
    // Kind 5: the player's template filled from the disc record.
    StringEx CustomDescription(StringEx format);

    std::string discId_;
    std::string driveText_;
    StringEx path_;
    int driveNumber_ = 0;
    int trackNumber_ = 0;
    int lookupEnabled_ = 0;
    CddbDiscRecord record_;
    int noTokenFilled_ = 0;
};

#endif  // LYPARSER_PARSERS_CD_FREECDDB_MODULE_H
