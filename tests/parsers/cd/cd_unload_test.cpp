// A host that finalises and unloads the module while a CD lookup is still
// running: the lookup finishes in a library that stays mapped, and nothing
// crashes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "lyCenter.h"
#include "tests/support/cddb_server.h"
#include "tests/support/fake_engine.h"

namespace {

std::atomic<bool> g_notified{false};

void OnNotice(const char*, unsigned message, int, int) {
    if (message == LYNOTIFY_CD_NAMES_ARRIVED) g_notified = true;
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
    auto open = reinterpret_cast<void* (*)(const char*)>(dlsym(module, "TagParserOpenFile"));
    EXPECT_EQ(initialize(engine), 1);
    void* track = open("D:\\Track01.cda");  // starts a lookup that waits on the silent server
    reinterpret_cast<void (*)(void*)>(dlsym(module, "TagParserCloseFile"))(track);
    reinterpret_cast<void (*)()>(dlsym(module, "TagParserFinalize"))();
    EXPECT_EQ(dlclose(module), 0);
    for (int i = 0; i < 2000 && !g_notified; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(g_notified);
}

}  // namespace
