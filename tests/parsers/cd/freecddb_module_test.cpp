// The audio-CD track parser: fields and texts from the cached disc record, the
// disc identity rules, and the lookup threads with their cache and
// notifications, against a CDDB server process on loopback.
#include "parsers/cd/freecddb_module.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <tuple>

#include "core/module_state.h"
#include "lyCenter.h"
#include "tests/support/cddb_server.h"
#include "tests/support/fake_engine.h"

namespace {

// Lookup threads are detached and may still be finishing while the process
// exits, as in a player: the engine they ask and the count they report to are
// never destroyed.
std::atomic<int> g_notices{0};

void CountNotice(const char* unit, unsigned message, int a, int b) {
    if (std::string(unit) == "playlist" && message == 34080 && a == 0 && b == 0) ++g_notices;
}

// Polls `done` until it is true, for up to 20 seconds.
bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 2000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (done()) return true;
    return false;
}

std::unique_ptr<CFreeCDDBModule> Open(const std::string& path) {
    auto track = std::make_unique<CFreeCDDBModule>();
    track->Initialize();
    EXPECT_EQ(track->OpenFile(StringEx(path)), 1) << path;
    return track;
}

// Title|artist|album|year|genre|track|comment| of the track at `path`.
std::string Fields(const std::string& path) {
    auto track = Open(path);
    std::string text;
    for (int id : {FIELD_TITLE, FIELD_ARTIST, FIELD_ALBUM, FIELD_YEAR, FIELD_GENRE, FIELD_TRACK,
                   FIELD_COMMENT})
        text += track->GetData(id).GetNarrow() + "|";
    return text;
}

std::string Md5(CFreeCDDBModule* track) {
    int start = 0, end = 0;
    return track->GetMD5(&start, &end).GetNarrow();
}

class FreeCDDBModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        engine_.driveLetters = {3, 4, 5};  // D: E: F:
        engine_.SetDisc(0, "7a0b2c09 5 150 1000 2000 3000 4000 200");
        engine_.SetDisc(1, "0d000903 3 150 300 525 11");
        engine_.SetDisc(2, "1e000000 1 150 60");
        engine_.trackBytes = {44100000, 176399, 176400};
        StoreBassAudio(&engine_);
        GetConfig()->word[112] = 1;  // lookups on
        SetCallFunctionHandler(CountNotice);
        setenv("LYPARSER_HTTP_TIMEOUT_MS", "1500", 1);
        server_ = new CddbTestServer();
        server_->Answer("query/7a0b2c09", "200 jazz 7a0b2c09 Quintet / Five Pieces\r\n");
        server_->Answer("read/jazz/7a0b2c09",
                        "DTITLE=Quintet / Five Pieces\r\nDYEAR=1961\r\nTTITLE0=One\r\nTTITLE1=Two"
                        "\r\nTTITLE2=Three\r\nTTITLE3=Four\r\nTTITLE4=Five\r\nEXTD=\r\n.\r\n");
        setenv("LYPARSER_CDDB_SERVER", server_->address().c_str(), 1);
    }
    static void TearDownTestSuite() {
        engine_.ready = false;  // lookups still queued end at once
        delete server_;
    }

    static FakeEngine& engine_;
    static CddbTestServer* server_;
};

FakeEngine& FreeCDDBModuleTest::engine_ = *new FakeEngine();
CddbTestServer* FreeCDDBModuleTest::server_ = nullptr;

TEST_F(FreeCDDBModuleTest, UnknownDiscIsLookedUpOnceAndLaterTracksGetNamesAndTexts) {
    const int before = g_notices;
    EXPECT_EQ(Fields("D:\\Track01.cda"), "|||||||");  // taken before the names arrived
    ASSERT_TRUE(WaitFor([&] { return g_notices > before; }));
    // the lookup lets go of the module lock right after its notice
    ASSERT_TRUE(WaitFor([] { return ModuleLock().try_lock(); }));
    ModuleLock().unlock();

    EXPECT_EQ(Fields("D:\\Track02.cda"), "Two|Quintet |Quintet / Five Pieces|1961|jazz|2||");
    EXPECT_EQ(Fields("d:\\Track05.cda"), "Five|Quintet |Quintet / Five Pieces|1961|jazz|5||");
    for (const char* path : {"D:\\Track06.cda", "D:\\Track.cda", "D:\\Track 3 of 5.cda",
                             "Q:\\Track01.cda"})  // no drive Q:
        EXPECT_EQ(Fields(path), "|||||||") << path;
    GetConfig()->word[112] = 0;  // lookups off: no lookup, no fields, the file name
    auto off = Open("F:\\Track01.cda");
    GetConfig()->word[112] = 1;
    EXPECT_EQ(off->GetDescription(5, StringEx("%%"), 0).GetNarrow(), "Track01");
    EXPECT_EQ(off->OpenFile(StringEx(L"")), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // time for a wrong lookup
    EXPECT_EQ(g_notices, before + 1);  // the cached disc and F: started no lookup

    auto named = Open("D:\\Track02.cda");
    auto describe = [&](int kind, const char* format) {
        return named->GetDescription(kind, StringEx(format), 0).GetNarrow();
    };
    EXPECT_EQ(describe(0, ""), "Two - Quintet ");
    EXPECT_EQ(describe(5, "%track%. %title% (%filename%)"), "2. Two (Track02)");
    EXPECT_EQ(describe(5, "%comment%"), "Track02");  // nothing filled: the file name
    EXPECT_EQ(Open("D:\\Track09.cda")->GetDescription(0, StringEx(), 0).GetNarrow(), "Track09");
    EXPECT_EQ(Md5(named.get()), "audiocd-track2-7a0b2c09-00000000");
    EXPECT_EQ(Md5(Open("D:\\Track12345678901.cda").get()),
              "audiocd-track2147483647-7a0b2c09-");  // not cut
    // whole seconds of 44100000, 176399 and 176400 bytes
    EXPECT_EQ(Open("D:\\Track01.cda")->GetFileInfo(5).GetNarrow(), "250");
    EXPECT_EQ(named->GetFileInfo(5).GetNarrow(), "0");
    EXPECT_EQ(Open("D:\\Track03.cda")->GetFileInfo(5).GetNarrow(), "1");
    EXPECT_EQ(named->GetFileInfo(0).GetNarrow(),
              "\tConnecting to " + server_->address() +
                  "\r\n\tDisc ID / 7a0b2c09\r\n\tProgram / LYRAMI_CDDB_DLL\r\n");
}

TEST_F(FreeCDDBModuleTest, SecondTrackOfAPendingDiscStartsAnotherLookup) {
    CddbTestServer silent("silent");
    setenv("LYPARSER_CDDB_SERVER", silent.address().c_str(), 1);
    const int before = g_notices;
    Open("F:\\Track01.cda");
    Open("F:\\Track01.cda");  // still pending, nothing cached: a second lookup
    EXPECT_TRUE(WaitFor([&] { return g_notices >= before + 2; }));
    setenv("LYPARSER_CDDB_SERVER", server_->address().c_str(), 1);
}

TEST_F(FreeCDDBModuleTest, SameObjectReusesTheLastDiscUnlessAskedToRefresh) {
    CFreeCDDBModule track;
    track.Initialize();
    track.OpenFile(StringEx("E:\\Track01.cda"));
    EXPECT_EQ(Md5(&track), "audiocd-track1-0d000903-00000000");
    // Each step puts another disc in the drive; only a force or refresh word of 1
    // asks the drive again, and the refresh word is then cleared.
    // Force, refresh word, disc in the drive, disc seen:
    const std::tuple<int, int, std::string, std::string> steps[] = {
        {0, 0, "0d000904", "0d000903"}, {5, 5, "0d000905", "0d000903"},
        {1, 0, "0d000906", "0d000906"}, {0, 1, "0d000903", "0d000903"}};
    for (const auto& [force, refresh, disc, seen] : steps) {
        engine_.SetDisc(1, disc + " 3 150 300 525 11");
        SetForceFreeCDDB(force);
        GetConfig()->word[138] = refresh;
        track.OpenFile(StringEx("E:\\Track02.cda"));
        EXPECT_EQ(Md5(&track), "audiocd-track2-" + seen + "-00000000") << disc;
        EXPECT_EQ(GetConfig()->word[138], refresh == 1 ? 0 : refresh);
    }
}

TEST_F(FreeCDDBModuleTest, ManyThreadsOpeningTracksWhileLookupsFinish) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 40; ++i)
                Open(std::string(1, "DEF"[(t + i) % 3]) + ":\\Track0" + std::to_string(1 + i % 5))
                    ->GetData(FIELD_TITLE);
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_TRUE(WaitFor([] { return Fields("D:\\Track04.cda").rfind("Four|", 0) == 0; }));
}

}  // namespace
