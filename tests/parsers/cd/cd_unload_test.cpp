// A host that finalises and unloads the module while a CD lookup is still
// running: the lookup finishes in a library that stays mapped, and nothing
// crashes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "lyCenter.h"
#include "tests/support/cddb_server.h"
#include "tests/support/fake_engine.h"

namespace {

std::mutex g_mutex;
std::condition_variable g_arrived;
bool g_notified = false;

void OnNotice(const char*, unsigned message, int, int) {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_notified = g_notified || message == 34080;
    g_arrived.notify_all();
}

TEST(CdUnloadTest, LookupOutlivesFinaliseAndUnload) {
    CddbTestServer slow("silent");
    setenv("LYPARSER_CDDB_SERVER", slow.address().c_str(), 1);
    setenv("LYPARSER_HTTP_TIMEOUT_MS", "1000", 1);
    auto* engine = new FakeEngine();  // the host's engine outlives the lookup
    engine->driveLetters = {3};
    engine->SetDisc(0, "7a0b2c09 1 150 200");
    SetCallFunctionHandler(OnNotice);

    void* module = dlopen(LY_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto initialize = reinterpret_cast<int (*)(CBassAudio*)>(dlsym(module, "TagParserInitialize"));
    auto finalize = reinterpret_cast<void (*)()>(dlsym(module, "TagParserFinalize"));
    auto open = reinterpret_cast<void* (*)(const char*)>(dlsym(module, "TagParserOpenFile"));
    auto close = reinterpret_cast<void (*)(void*)>(dlsym(module, "TagParserCloseFile"));
    ASSERT_TRUE(initialize && finalize && open && close);

    EXPECT_EQ(initialize(engine), 1);
    void* track = open("D:\\Track01.cda");  // starts a lookup that waits on the silent server
    ASSERT_NE(track, nullptr);
    close(track);
    finalize();
    EXPECT_EQ(dlclose(module), 0);

    std::unique_lock<std::mutex> hold(g_mutex);
    EXPECT_TRUE(g_arrived.wait_for(hold, std::chrono::seconds(20), [] { return g_notified; }));
}

}  // namespace
