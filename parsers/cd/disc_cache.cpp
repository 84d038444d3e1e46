#include "parsers/cd/disc_cache.h"

#include <strings.h>

#include <thread>

#include "core/module_state.h"
#include "lyCenter.h"
#include "parsers/cd/cd_path.h"
#include "parsers/cd/freedb_client.h"

namespace {

constexpr unsigned kNamesArrived = 34080;  // the playlist's "names have arrived" message

bool SameDisc(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

void RunLookup(char letter) noexcept try {
    std::lock_guard<std::recursive_mutex> hold(ModuleLock());
    if (letter == 0) return;
    CBassAudio* engine = GetBassAudio();
    std::string drive(1, letter);
    if (!engine || !engine->GetBassCD_IsReady(static_cast<unsigned long>(DriveIndexFromPath(drive)))) {
        return;
    }
    CFreeDBClient client;
    client.Init(std::wstring(1, static_cast<wchar_t>(static_cast<unsigned char>(letter))));
    client.Lookup();
    CddbDiscRecord record;
    client.TakeRecord(&record);
    client.ClearCategories();
    DiscCache::Instance().AddRecord(record);
    SendCallFunction("playlist", kNamesArrived, 0, 0);
} catch (...) {
    // A lookup that fails for want of memory simply ends.
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

bool DiscCache::CopyRecordOrClaimLookup(const std::string& discId, CddbDiscRecord* record) {
    std::lock_guard<std::mutex> hold(mutex_);
    bool pending = false;
    for (const auto& id : pending_) pending = pending || SameDisc(id, discId);
    if (pending) {
        *record = CddbDiscRecord();
        for (const auto& cached : records_) {
            if (SameDisc(cached.discId, discId)) {
                *record = cached;
                break;
            }
        }
        if (!record->discId.empty()) return false;
    }
    pending_.push_back(discId);
    return true;
}

void DiscCache::AddRecord(const CddbDiscRecord& record) {
    std::lock_guard<std::mutex> hold(mutex_);
    records_.push_back(record);
}

bool StartDiscLookup(char letter) {
    try {
        std::thread(RunLookup, letter).detach();
        return true;
    } catch (...) {
        return false;
    }
}
