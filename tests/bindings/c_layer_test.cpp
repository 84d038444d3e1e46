// The C layer as a C host uses it: why an open fails, UTF-8 text whatever the
// host's locale, the module's reasons for a refused change, and the shutdown
// that stops every callback, lookup threads included.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "lyparser_c.h"
#include "tests/support/built_locale.h"
#include "tests/support/cddb_server.h"
#include "tests/support/locale_guard.h"
#include "tests/support/temp_dir.h"
#include "tools/samples/ogg_sample.h"

namespace {

// Takes a text result and frees it.
std::string Take(char* text) {
    std::string copy = text ? text : "(null)";
    lyparser_free(text);
    return copy;
}

class CLayerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(lyparser_init(nullptr), LYPARSER_OK); }

    std::string Ogg(const std::string& name) {
        OggBytes sample = MakeOggSample();
        return dir_.Write(name, Bytes(sample.begin(), sample.end()));
    }

    TempDir dir_;
};

TEST_F(CLayerTest, AFailedOpenSaysWhy) {
    mkdir(dir_.File("folder.mp3").c_str(), 0755);
    struct Case {
        std::string path;
        int reason;
    } cases[] = {
        {dir_.File("missing.mp3"), LYPARSER_NOT_FOUND},
        {dir_.File("folder.mp3"), LYPARSER_NOT_A_FILE},
        {dir_.Write("text.ogg", "not an Ogg stream"), LYPARSER_NOT_SUPPORTED},
        {Ogg("good.ogg"), LYPARSER_OK},
    };
    for (const auto& c : cases) {
        int reason = -1;
        lyparser_file* file = lyparser_open(c.path.c_str(), &reason);
        EXPECT_EQ(reason, c.reason) << c.path;
        EXPECT_EQ(file != nullptr, c.reason == LYPARSER_OK) << c.path;
        lyparser_close(file);
    }
}

// The module reads narrow text in the calling thread's code page; the layer
// hands it UTF-8 whatever the host's locale is.
TEST_F(CLayerTest, TextIsUtf8WhateverTheHostsLocale) {
    BuiltLocale latin1("en_US", "ISO-8859-1");
    ASSERT_TRUE(latin1.ok());
    ThreadLocale host(latin1.name());
    ASSERT_TRUE(host.ok());
    const std::string title = "Caf\xC3\xA9 \xF0\x9F\x8E\xB5";  // Café 🎵
    const std::string path = Ogg("song.ogg");
    lyparser_file* file = lyparser_open(path.c_str(), nullptr);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(lyparser_set_field(file, "title", title.c_str(), nullptr), LYPARSER_OK);
    EXPECT_EQ(lyparser_save(file), LYPARSER_OK);
    lyparser_close(file);

    file = lyparser_open(path.c_str(), nullptr);
    EXPECT_EQ(Take(lyparser_get(file, LYPARSER_FIELD_TITLE)), title);
    lyparser_close(file);
    Bytes bytes = ReadBytes(path);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("TITLE=" + title), std::string::npos);
}

// Every change and save answers the reason the module keeps for the handle,
// and a success clears it.
TEST_F(CLayerTest, ChangesAnswerTheModulesReason) {
    lyparser_file* file = lyparser_open(Ogg("song.ogg").c_str(), nullptr);
    ASSERT_NE(file, nullptr);
    struct Case {
        std::function<int()> change;
        int reason;
        std::string lastError;  // its start
    } cases[] = {
        {[&] { return lyparser_set(file, LYPARSER_FIELD_COMPOSER, "x"); }, LYPARSER_REFUSED_VALUE,
         "REFUSED_VALUE: "},  // an Ogg file has no composer field
        {[&] { return lyparser_set(file, 20, "x"); }, LYPARSER_UNKNOWN_FIELD, "UNKNOWN_FIELD: "},
        {[&] { return lyparser_set(file, LYPARSER_FIELD_TITLE, "New"); }, LYPARSER_OK, ""},
        {[&] { return lyparser_set_field(file, "artist", "Band", nullptr); }, LYPARSER_OK, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.change(), c.reason) << c.lastError;
        char* text = nullptr;
        EXPECT_EQ(lyparser_last_error(file, &text), c.reason);
        std::string line = Take(text);
        EXPECT_EQ(line.substr(0, c.lastError.size()), c.lastError) << line;
        EXPECT_EQ(line.empty(), c.lastError.empty()) << line;
    }
    // A name lytag does not know never reaches the module.
    EXPECT_EQ(lyparser_set_field(file, "no-such-field", "x", nullptr), LYPARSER_UNKNOWN_FIELD);
    EXPECT_EQ(lyparser_last_error(file, nullptr), LYPARSER_OK);
    EXPECT_EQ(lyparser_set(nullptr, LYPARSER_FIELD_TITLE, "x"), LYPARSER_NO_HANDLE);
    lyparser_close(file);
}

// The host's side of a CD lookup: drive D holds a disc; the readiness check
// waits until the test lets it go.
struct CdHost {
    std::promise<void> entered, release;
    std::atomic<bool> readyReturned{false}, shutDown{false};
    std::atomic<int> lateCalls{0};  // callbacks that began after lyparser_shutdown returned

    static CdHost& Of(void* user) {
        CdHost& host = *static_cast<CdHost*>(user);
        if (host.shutDown) ++host.lateCalls;
        return host;
    }
};

int DriveLetter(void* user, unsigned drive) { return CdHost::Of(user), drive == 0 ? 3 : -1; }

int IsReady(void* user, unsigned) {
    CdHost& host = CdHost::Of(user);
    std::future<void> released = host.release.get_future();
    host.entered.set_value();
    released.wait();
    host.readyReturned = true;
    return 1;
}

int DiscId(void* user, unsigned drive, char* buffer, size_t size) {
    CdHost::Of(user);
    std::snprintf(buffer, size, "0d000903 3 150 300 525 11");
    return drive == 0;
}

void Notify(void* user, const char*, unsigned, int, int) { CdHost::Of(user); }

TEST_F(CLayerTest, ShutdownWaitsForCallbacksAndStopsEveryLaterOne) {
    CddbTestServer server;
    setenv("LYPARSER_CDDB_SERVER", server.address().c_str(), 1);
    static CdHost* cd = new CdHost();  // a lookup thread may outlive the test
    lyparser_host host{};
    host.user = cd;
    host.cd_drive_letter = DriveLetter;
    host.cd_is_ready = IsReady;
    host.cd_id = DiscId;
    host.notify = Notify;
    ASSERT_EQ(lyparser_init(&host), LYPARSER_OK);
    std::future<void> entered = cd->entered.get_future();
    lyparser_close(lyparser_open("D:\\Track01.cda", nullptr));  // starts the lookup
    ASSERT_EQ(entered.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    std::atomic<bool> returned{false};
    bool callbackHadReturned = false;
    std::thread closer([&] {
        lyparser_shutdown();
        callbackHadReturned = cd->readyReturned;
        cd->shutDown = true;
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(returned) << "shutdown returned while a callback ran";
    cd->release.set_value();
    closer.join();
    EXPECT_TRUE(callbackHadReturned);
    // The lookup goes on without the host: it would ask for the disc next,
    // and tell the host when the server has answered.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(cd->lateCalls, 0);
    int reason = -1;
    EXPECT_EQ(lyparser_open("D:\\Track01.cda", &reason), nullptr);
    EXPECT_EQ(reason, LYPARSER_NOT_INITIALIZED);
}

}  // namespace
