// The module's process-wide state and its load/unload object.
#include "core/module_state.h"

#include <atomic>

#include "core/http_client.h"
#include "core/string_ex.h"
#include "lyCenter.h"

namespace {

std::atomic<CBassAudio*> g_engine{nullptr};
std::atomic<int> g_forceFreeCDDB{0};

// Built when the library is loaded, destroyed when it is unloaded. The module
// lock it creates is never destroyed: a detached CD lookup may still hold it
// while the process exits, and the library itself is never unmapped.
class ClyParserApp {
public:
    ClyParserApp() { InitInstance(); }
    ~ClyParserApp() { ExitInstance(); }

    int InitInstance() {
        lock_ = new std::recursive_mutex;
        HttpStartup();
        return 1;
    }
    int ExitInstance() { return 0; }
    std::recursive_mutex& Lock() { return *lock_; }

private:
    std::recursive_mutex* lock_ = nullptr;
};

ClyParserApp& App() {
    static ClyParserApp app;
    return app;
}

// Make sure the application object exists as soon as the library is loaded.
[[maybe_unused]] ClyParserApp& g_appAtLoad = App();

}  // namespace

CBassAudio* GetBassAudio() { return g_engine.load(); }

bool StoreBassAudio(CBassAudio* engine) {
    if (!engine) return false;
    CBassAudio* expected = nullptr;
    return g_engine.compare_exchange_strong(expected, engine);
}

std::recursive_mutex& ModuleLock() { return App().Lock(); }

void SetForceFreeCDDB(int value) { g_forceFreeCDDB.store(value); }
int GetForceFreeCDDB() { return g_forceFreeCDDB.load(); }

float EngineAudioLength(const void* path, int wide) {
    CBassAudio* engine = GetBassAudio();
    return engine ? engine->GetAudioLength(path, wide) : 0.0f;
}

int EngineAudioSeconds(StringEx path) {
    float seconds = path.IsWide() ? EngineAudioLength(path.GetWidePtr(), 1)
                                  : EngineAudioLength(path.GetNarrowPtr(), 0);
    if (!(seconds == seconds)) return 0;  // not a number
    if (seconds >= 2147483647.0f) return 2147483647;
    if (seconds <= -2147483648.0f) return -2147483647 - 1;
    return static_cast<int>(seconds);
}
