// The module-wide cache of looked-up discs, and the lookup threads that fill it.
//
// One entry per disc: the names its lookups found and whether it may be looked
// up again. A disc whose names arrived, or whose server answered that it knows
// no such disc, is never looked up again; a lookup that failed for a passing
// reason (no connection, a timeout, a 5xx answer) is tried again by a later
// open, no sooner than the retry interval after it ended, an interval that
// doubles with each further failure. Only one lookup of a disc runs at a time.
//
// The cache has its own lock, held only for short moments, so that opening a
// track never waits for a lookup in progress. Lookups hold the module lock
// for their whole run, so they run one at a time. The cache lives as long as
// the process: a detached lookup may still finish while the process exits.
#ifndef LYPARSER_PARSERS_CD_DISC_CACHE_H
#define LYPARSER_PARSERS_CD_DISC_CACHE_H

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "parsers/cd/cddb_disc_record.h"

// How a lookup of a disc ended.
enum class LookupOutcome {
    kNamed,         // the names arrived
    kSettled,       // the server answered, without names: not asked again
    kFailedForNow,  // a passing failure: asked again later
    kNotRun,        // no disc, or another one, was in the drive: the disc was not asked for
};

class DiscCache {
public:
    using Clock = std::chrono::steady_clock;

    static DiscCache& Instance();

    std::string LastDiscId();
    void SetLastDiscId(const std::string& discId);

    // For an open of a track of `discId` at `now`: copies what the disc's
    // lookups found so far into *record (an empty record when nothing). True
    // when a lookup must start: the disc was never looked up, or its last
    // lookup failed for a passing reason and its retry delay (`interval`,
    // doubled for each further failure, at most 64 times) has passed since.
    // Then the disc counts as being looked up until FinishLookup.
    bool CopyRecordOrClaimLookup(const std::string& discId, CddbDiscRecord* record,
                                 Clock::time_point now, Clock::duration interval);
    // Ends the lookup that CopyRecordOrClaimLookup claimed for `discId`;
    // unless it was not run, `record` replaces the disc's record. True when
    // the player is to be told: names arrived, or the disc's first lookup ran.
    bool FinishLookup(const std::string& discId, const CddbDiscRecord& record,
                      LookupOutcome outcome, Clock::time_point now);
    // Forgets every disc and the last disc identity, as at the start of the
    // process; false, forgetting nothing, while a lookup is claimed. For
    // tests that each start from an empty cache.
    bool Forget();

private:
    struct Disc {
        std::string discId;
        CddbDiscRecord record;
        bool running = false;
        bool settled = false;  // named, or the server answered that it has no names
        int lookupsRun = 0;    // lookups that ended, those not run aside
        int failures = 0;      // passing failures in a row
        Clock::time_point failedAt;
    };

    DiscCache() = default;
    Disc* Find(const std::string& discId);

    std::mutex mutex_;
    std::string lastDiscId_;
    std::vector<Disc> discs_;  // in the order they were first opened
};

// The delay between lookups of a disc whose lookups failed for a passing
// reason: LYPARSER_CDDB_RETRY_MS from the environment (at most a day), else
// 10 seconds.
DiscCache::Clock::duration RetryInterval();

// Starts a detached lookup of the disc `discId` in drive `letter`, claimed in
// the cache. It ends it there and tells the player ("playlist", LYNOTIFY_CD_NAMES_ARRIVED) when
// the cache says so. False when no thread could be started; the claim is then
// released.
bool StartDiscLookup(char letter, const std::string& discId);

#endif  // LYPARSER_PARSERS_CD_DISC_CACHE_H
