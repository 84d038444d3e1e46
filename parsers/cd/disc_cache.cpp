#include "parsers/cd/disc_cache.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "core/module_state.h"
#include "lyCenter.h"
#include "parsers/cd/cd_path.h"
#include "parsers/cd/freedb_client.h"

namespace {

constexpr long kDefaultRetryMs = 10000;
constexpr long kMaxRetryMs = 24L * 3600 * 1000;
constexpr int kMaxRetryDoublings = 6;

bool SameDisc(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Looks the disc up and ends its claim; the cache decides whether the player
// hears of it.
void RunLookup(char letter, const std::string& discId) noexcept {
    DiscCache& cache = DiscCache::Instance();
    try {
        std::lock_guard<std::recursive_mutex> hold(ModuleLock());
        CBassAudio* engine = GetBassAudio();
        const int drive = DriveIndexFromPath(std::string(1, letter));
        if (letter == 0 || !engine || drive == kNoCdDrive ||
            !engine->GetBassCD_IsReady(static_cast<unsigned long>(drive))) {
            cache.FinishLookup(discId, CddbDiscRecord(), LookupOutcome::kNotRun,
                               DiscCache::Clock::now());
            return;
        }
        CFreeDBClient client;
        client.Init(std::wstring(1, static_cast<wchar_t>(static_cast<unsigned char>(letter))));
        int named = client.Lookup();
        CddbDiscRecord record;
        client.TakeRecord(&record);
        client.ClearCategories();
        LookupOutcome outcome = !SameDisc(record.discId, discId) ? LookupOutcome::kNotRun
                                : named                          ? LookupOutcome::kNamed
                                : client.FailedForNow()          ? LookupOutcome::kFailedForNow
                                                                 : LookupOutcome::kSettled;
        if (cache.FinishLookup(discId, record, outcome, DiscCache::Clock::now())) {
            SendCallFunction("playlist", LYNOTIFY_CD_NAMES_ARRIVED, 0, 0);
        }
    } catch (...) {
        // Out of memory: give the claim back, so that a later open may try again.
        try {
            cache.FinishLookup(discId, CddbDiscRecord(), LookupOutcome::kNotRun,
                               DiscCache::Clock::now());
        } catch (...) {
        }
    }
}

}  // namespace

DiscCache& DiscCache::Instance() {
    static DiscCache* cache = new DiscCache();  // never destroyed: see the file comment
    return *cache;
}

std::string DiscCache::LastDiscId() {
    std::lock_guard<std::mutex> hold(mutex_);
    return lastDiscId_;
}

void DiscCache::SetLastDiscId(const std::string& discId) {
    std::lock_guard<std::mutex> hold(mutex_);
    lastDiscId_ = discId;
}

DiscCache::Disc* DiscCache::Find(const std::string& discId) {
    for (auto& disc : discs_) {
        if (SameDisc(disc.discId, discId)) return &disc;
    }
    return nullptr;
}

bool DiscCache::CopyRecordOrClaimLookup(const std::string& discId, CddbDiscRecord* record,
                                        Clock::time_point now, Clock::duration interval) {
    std::lock_guard<std::mutex> hold(mutex_);
    Disc* disc = Find(discId);
    if (!disc) {
        *record = CddbDiscRecord();
        discs_.push_back(Disc());
        disc = &discs_.back();
        disc->discId = discId;
    } else {
        *record = disc->record;
        if (disc->running || disc->settled) return false;
        if (disc->failures > 0) {
            auto delay = interval * (1 << std::min(disc->failures - 1, kMaxRetryDoublings));
            if (now - disc->failedAt < delay) return false;
        }
    }
    disc->running = true;
    return true;
}

bool DiscCache::FinishLookup(const std::string& discId, const CddbDiscRecord& record,
                             LookupOutcome outcome, Clock::time_point now) {
    std::lock_guard<std::mutex> hold(mutex_);
    Disc* disc = Find(discId);
    if (!disc) return false;
    disc->running = false;
    if (outcome == LookupOutcome::kNotRun) return false;
    bool first = disc->lookupsRun++ == 0;
    disc->record = record;
    disc->settled = outcome != LookupOutcome::kFailedForNow;
    if (outcome == LookupOutcome::kFailedForNow) {
        ++disc->failures;
        disc->failedAt = now;
    }
    return outcome == LookupOutcome::kNamed || first;
}

bool DiscCache::Forget() {
    std::lock_guard<std::mutex> hold(mutex_);
    for (const auto& disc : discs_) {
        if (disc.running) return false;
    }
    discs_.clear();
    lastDiscId_.clear();
    return true;
}

DiscCache::Clock::duration RetryInterval() {
    long ms = kDefaultRetryMs;
    if (const char* text = std::getenv("LYPARSER_CDDB_RETRY_MS")) {
        char* end = nullptr;
        long value = std::strtol(text, &end, 10);
        if (end != text && value >= 0) ms = std::min(value, kMaxRetryMs);
    }
    return std::chrono::milliseconds(ms);
}

bool StartDiscLookup(char letter, const std::string& discId) {
    try {
        std::thread(RunLookup, letter, discId).detach();
        return true;
    } catch (...) {
        DiscCache::Instance().FinishLookup(discId, CddbDiscRecord(), LookupOutcome::kNotRun,
                                           DiscCache::Clock::now());
        return false;
    }
}
