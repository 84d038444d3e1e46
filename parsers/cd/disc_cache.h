// The module-wide cache of looked-up discs, and the lookup threads that fill it.
//
// The cache has its own lock, held only for short moments, so that opening a
// track never waits for a lookup in progress. Lookups hold the module lock
// for their whole run, so they run one at a time. The cache lives as long as
// the process: a detached lookup may still finish while the process exits.
#ifndef LYPARSER_PARSERS_CD_DISC_CACHE_H
#define LYPARSER_PARSERS_CD_DISC_CACHE_H

#include <mutex>
#include <string>
#include <vector>

#include "parsers/cd/cddb_disc_record.h"

class DiscCache {
public:
    static DiscCache& Instance();

    std::string LastDiscId();
    void SetLastDiscId(const std::string& discId);

    // For an open of a track of `discId`: when the disc is pending, copies its
    // first cached record (or an empty one) into *record. Returns true when a
    // lookup must start: the disc was not pending, or no record with a disc
    // identity is cached for it yet. Then the disc is marked pending.
    bool CopyRecordOrClaimLookup(const std::string& discId, CddbDiscRecord* record);
    void AddRecord(const CddbDiscRecord& record);

private:
    DiscCache() = default;

    std::mutex mutex_;
    std::string lastDiscId_;
    std::vector<CddbDiscRecord> records_;  // in the order the lookups finished
    std::vector<std::string> pending_;     // discs a lookup was started for
};

// Starts a detached lookup of the disc in drive `letter`. When it has stored
// the record it tells the player ("playlist", 34080). False when no thread
// could be started.
bool StartDiscLookup(char letter);

#endif  // LYPARSER_PARSERS_CD_DISC_CACHE_H
