// The audio-CD track parser: fields and texts from the cached disc record, the
// disc identity rules, the lookup threads with their cache, retries and
// notifications, and names through the exports in several code pages, against
// a CDDB server process on loopback.
#include "parsers/cd/freecddb_module.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <regex>
#include <thread>
#include <tuple>

#include "core/module_state.h"
#include "lyCenter.h"
#include "parsers/cd/disc_cache.h"
#include "tests/support/built_locale.h"
#include "tests/support/cddb_server.h"
#include "tests/support/fake_engine.h"
#include "tests/support/locale_guard.h"
#include "tests/support/module_test.h"

namespace {

// Lookup threads are detached and may still be finishing while the process
// exits, as in a player: the engine they ask and the count they report to are
// never destroyed.
std::atomic<int> g_notices{0};

// Björk ✓ Café 🎵 日本, in UTF-8.
const std::string kSymbols =
    "Bj\xC3\xB6rk \xE2\x9C\x93 Caf\xC3\xA9 \xF0\x9F\x8E\xB5 \xE6\x97\xA5\xE6\x9C\xAC";

void CountNotice(const char* unit, unsigned message, int a, int b) {
    if (std::string(unit) == "playlist" && message == LYNOTIFY_CD_NAMES_ARRIVED && a == 0 && b == 0)
        ++g_notices;
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

// Field `id` of the track at `path`, opened through the exports.
std::string NarrowField(const std::string& path, int id) {
    return TagParserGetData(OpenedFile(path).get(), id);
}
std::wstring WideField(const std::string& path, int id) {
    return TagParserGetDataW(OpenedFile(path).get(), id);
}

// Returns once no lookup is running: a lookup tells the player before it lets
// go of the module lock.
void AwaitRunningLookup() { std::lock_guard<std::recursive_mutex> hold(ModuleLock()); }

// The requests in `log` from `from` on, as "query 4c000a01 read misc+4c000a01 ".
std::string Commands(const std::string& log, size_t from) {
    static const std::regex line("[^\n]*cmd=cddb\\+(query|read)\\+([a-z]+\\+)?(\\w{8})[^\n]*\n");
    return std::regex_replace(log.substr(from), line, "$1 $2$3 ");
}

std::string Md5(CFreeCDDBModule* track) {
    int start = 0, end = 0;
    return track->GetMD5(&start, &end).GetNarrow();
}

// Every test starts from the same discs and settings, an empty disc cache and
// a server of its own, and ends once its lookups have: so the tests pass in
// any order.
class FreeCDDBModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        engine_.driveLetters = {3, 4, 5, 6, 7, 8, 9};  // D: to J:
        engine_.trackBytes = {44100000, 176399, 176400};
        TagParserInitialize(&engine_);
        SetCallFunctionHandler(CountNotice);
        setenv("LYPARSER_HTTP_TIMEOUT_MS", "1500", 1);
    }
    static void TearDownTestSuite() {
        engine_.ready = false;  // lookups still queued end at once
    }
    void SetUp() override {
        engine_.ready = true;
        engine_.SetDisc(0, "7a0b2c09 5 150 1000 2000 3000 4000 200");
        engine_.SetDisc(1, "0d000903 3 150 300 525 11");
        engine_.SetDisc(2, "1e000000 1 150 60");
        engine_.SetDisc(4, "4b000a01 1 150 60");  // H: named in UTF-8
        engine_.SetDisc(5, "4c000a01 1 150 60");  // I: the server fails at first
        engine_.SetDisc(6, "4d000a01 1 150 60");  // J: unknown to the server
        GetConfig()->word[LYCONFIG_CD_LOOKUPS] = 1;
        GetConfig()->word[LYCONFIG_CD_REFRESH] = 0;
        SetForceFreeCDDB(0);
        // D: answers with line feeds alone (how titles are read: freedb_client_test).
        server_.Answer("query/7a0b2c09", "200 jazz 7a0b2c09 Quintet / Five Pieces\r\n");
        server_.Answer("read/jazz/7a0b2c09",
                       "DTITLE=Quintet / Five Pieces\nDYEAR=1961\nTTITLE0=One\nTTITLE1=Two"
                       "\nTTITLE2=NEXT TIME\nTTITLE3=Four\nTTITLE4=Five\nEXTD=\n.\n");
        // H: a title line without " / " names the artist and the album.
        server_.Answer("query/4b000a01", "200 misc 4b000a01 Bj\xC3\xB6rk Caf\xC3\xA9\r\n");
        server_.Answer("read/misc/4b000a01",
                       "DTITLE=Bj\xC3\xB6rk Caf\xC3\xA9\r\nTTITLE0=" + kSymbols + "\r\n");
        server_.Answer("query/4c000a01", "200 misc 4c000a01 Try / Again\r\n");
        server_.Answer("read/misc/4c000a01", "DTITLE=Try / Again\r\nTTITLE0=At Last\r\n");
        setenv("LYPARSER_CDDB_SERVER", server_.address().c_str(), 1);
        g_notices = 0;
    }
    void TearDown() override {
        EXPECT_TRUE(WaitFor([] { return DiscCache::Instance().Forget(); }));
        AwaitRunningLookup();  // a lookup tells the player after it lets go of its disc
        unsetenv("LYPARSER_CDDB_RETRY_MS");
    }

    static FakeEngine& engine_;
    CddbTestServer server_;
};

FakeEngine& FreeCDDBModuleTest::engine_ = *new FakeEngine();

TEST_F(FreeCDDBModuleTest, UnknownDiscIsLookedUpOnceAndLaterTracksGetNamesAndTexts) {
    const int before = g_notices;
    EXPECT_EQ(Fields("D:\\Track01.cda"), "|||||||");  // taken before the names arrived
    ASSERT_TRUE(WaitFor([&] { return g_notices > before; }));
    AwaitRunningLookup();

    EXPECT_EQ(Fields("D:\\Track02.cda"), "Two|Quintet|Five Pieces|1961|jazz|2||");
    EXPECT_EQ(Fields("d:\\Track05.cda"), "Five|Quintet|Five Pieces|1961|jazz|5||");
    for (const char* path : {"D:\\Track06.cda", "D:\\Track.cda", "Q:\\Track01.cda"})  // no drive Q:
        EXPECT_EQ(Fields(path), "|||||||") << path;
    EXPECT_EQ(Open("Q:\\Track01.cda")->GetFileInfo(5).GetNarrow(), "0");
    EXPECT_EQ(engine_.strayDrives, 0);           // Q: is no drive: nothing is asked of drive 30
    GetConfig()->word[LYCONFIG_CD_LOOKUPS] = 0;  // lookups off: no lookup, no fields, the file name
    auto off = Open("F:\\Track01.cda");
    GetConfig()->word[LYCONFIG_CD_LOOKUPS] = 1;
    EXPECT_EQ(off->GetDescription(5, StringEx("%%"), 0).GetNarrow(), "Track01");
    EXPECT_EQ(off->OpenFile(StringEx(L"")), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // time for a wrong lookup
    EXPECT_EQ(g_notices, before + 1);  // the cached disc and F: started no lookup

    // The file name stands for the path, and for a template that fills nothing.
    auto named = Open("D:\\Track02.cda");
    std::string texts = Open("D:\\Track09.cda")->GetDescription(0, StringEx(), 0).GetNarrow();
    for (const char* format : {"", "%track%. %title% (%filename%)", "%comment%"})
        texts += "|" + named->GetDescription(*format ? 5 : 0, StringEx(format), 0).GetNarrow();
    EXPECT_EQ(texts, "Track09|Two - Quintet|2. Two (Track02)|Track02");
    EXPECT_EQ(Md5(named.get()), "audiocd-track2-7a0b2c09-00000000");
    EXPECT_EQ(Md5(Open("D:\\Track12345678901.cda").get()),
              "audiocd-track2147483647-7a0b2c09-");  // not cut
    // whole seconds of 176399 and 176400 bytes
    EXPECT_EQ(named->GetFileInfo(5).GetNarrow(), "0");
    EXPECT_EQ(Open("D:\\Track03.cda")->GetFileInfo(5).GetNarrow(), "1");
    EXPECT_EQ(named->GetFileInfo(0).GetNarrow(),
              "\tConnecting to " + server_.address() +
                  "\r\n\tDisc ID / 7a0b2c09\r\n\tProgram / LYRAMI_CDDB_DLL\r\n");
}

// The cache's rules for starting lookups, on a clock of the test's own: a
// claim starts a lookup, a finish says whether the player is told.
TEST_F(FreeCDDBModuleTest, OnlyPassingFailuresAreLookedUpAgainEachTimeLater) {
    const auto t0 = DiscCache::Clock::now();
    CddbDiscRecord record, partial, named;
    partial.album = named.album = "Some / Album";
    named.trackTitles = {"One"};
    auto claim = [&](const char* disc, int seconds) {
        return DiscCache::Instance().CopyRecordOrClaimLookup(
            disc, &record, t0 + std::chrono::seconds(seconds), std::chrono::seconds(10));
    };
    auto finish = [&](const char* disc, const CddbDiscRecord& found, LookupOutcome outcome,
                      int seconds) {
        return DiscCache::Instance().FinishLookup(disc, found, outcome,
                                                  t0 + std::chrono::seconds(seconds));
    };
    EXPECT_TRUE(claim("aa000001", 0));
    EXPECT_FALSE(claim("AA000001", 0));  // a second track while the disc is looked up
    // The end of the first lookup is told, whatever it found.
    EXPECT_TRUE(finish("aa000001", partial, LookupOutcome::kFailedForNow, 5));
    // The wait after each failure in a row, from its end.
    int end = 5;
    for (int wait : {10, 20, 40, 80, 160, 320, 640, 640}) {
        EXPECT_FALSE(claim("aa000001", end + wait - 1)) << wait;
        EXPECT_EQ(record.album, "Some / Album");
        ASSERT_TRUE(claim("aa000001", end + wait)) << wait;
        end += wait + 1;
        EXPECT_FALSE(finish("aa000001", partial, LookupOutcome::kFailedForNow, end));
    }
    EXPECT_TRUE(claim("aa000001", end + 640));
    EXPECT_TRUE(finish("aa000001", named, LookupOutcome::kNamed, end + 641));
    EXPECT_FALSE(claim("aa000001", end + 100000));  // named: never again
    EXPECT_EQ(record.trackTitles, named.trackTitles);

    // A lookup that did not run is neither told nor counted; an answer without names stands.
    EXPECT_TRUE(claim("aa000002", 0));
    EXPECT_FALSE(finish("aa000002", CddbDiscRecord(), LookupOutcome::kNotRun, 0));
    EXPECT_TRUE(claim("aa000002", 0));
    EXPECT_TRUE(finish("aa000002", CddbDiscRecord(), LookupOutcome::kSettled, 0));
    EXPECT_FALSE(claim("aa000002", 100000));
}

// Names are held as Unicode: a caller gets them as wide text, or in its own
// code page with "?" where that has no character.
TEST_F(FreeCDDBModuleTest, NamesArriveAsWideTextAndInTheCallersCodePage) {
    ASSERT_TRUE(WaitFor([] { return !WideField("H:\\Track01.cda", FIELD_TITLE).empty(); }));
    AwaitRunningLookup();
    EXPECT_EQ(WideField("H:\\Track01.cda", FIELD_TITLE),
              L"Bj\u00F6rk \u2713 Caf\u00E9 \U0001F3B5 \u65E5\u672C");
    BuiltLocale latin1("en_US", "ISO-8859-1");
    ThreadLocale guard(latin1.name());
    ASSERT_TRUE(latin1.ok() && guard.ok());
    EXPECT_EQ(NarrowField("H:\\Track01.cda", FIELD_TITLE), "Bj\xF6rk ? Caf\xE9 ? ??");
    EXPECT_EQ(NarrowField("H:\\Track01.cda", FIELD_ALBUM) + "|" +
                  NarrowField("H:\\Track01.cda", FIELD_ARTIST),
              "Bj\xF6rk Caf\xE9|Bj\xF6rk Caf\xE9");
}

// A lookup that failed for a passing reason is tried again by a later open;
// the player hears of the first lookup and of names, not of a retry that
// failed again. No match is an answer: nothing more is asked.
TEST_F(FreeCDDBModuleTest, LookupThatFailedIsTriedAgainByALaterOpenUntilNamesArrive) {
    setenv("LYPARSER_CDDB_RETRY_MS", "0", 1);
    const int before = g_notices;
    const size_t sent = server_.Requests().size();
    const std::string track = "I:\\Track01.cda";
    for (int failure = 0; failure < 2; ++failure) {  // a failed record; the retry fails too
        server_.Answer("query/4c000a01.once", CddbTestServer::Http("503 Service Unavailable"));
        EXPECT_EQ(NarrowField(track, FIELD_TITLE), "");
        ASSERT_TRUE(WaitFor([&] { return g_notices == before + 1; }));
        AwaitRunningLookup();
    }
    ASSERT_TRUE(WaitFor([&] { return NarrowField(track, FIELD_TITLE) == "At Last"; }));
    AwaitRunningLookup();
    EXPECT_EQ(g_notices, before + 2);
    EXPECT_EQ(NarrowField("J:\\Track01.cda", FIELD_TITLE), "");
    ASSERT_TRUE(WaitFor([&] { return g_notices == before + 3; }));
    AwaitRunningLookup();
    EXPECT_EQ(Commands(server_.Requests(), sent),  // no read after "202 No match"
              "query 4c000a01 query 4c000a01 query 4c000a01 read misc+4c000a01 query 4d000a01 ");
}

// A drive that loses its letter while its lookup waits for the module lock is
// asked nothing: the lookup ends without running and gives its claim back.
TEST_F(FreeCDDBModuleTest, LookupOfADriveThatLostItsLetterAsksNoDrive) {
    AwaitRunningLookup();
    {
        std::lock_guard<std::recursive_mutex> hold(ModuleLock());
        engine_.driveLetters.push_back(10);  // K: is drive 7
        engine_.SetDisc(7, "4e000a01 1 150 60");
        Open("K:\\Track01.cda");
        engine_.driveLetters.pop_back();
    }
    CddbDiscRecord record;
    ASSERT_TRUE(WaitFor([&] {
        return DiscCache::Instance().CopyRecordOrClaimLookup(
            "4e000a01", &record, DiscCache::Clock::now(), std::chrono::seconds(0));
    }));
    DiscCache::Instance().FinishLookup("4e000a01", record, LookupOutcome::kNotRun,
                                       DiscCache::Clock::now());
    EXPECT_EQ(engine_.strayDrives, 0);
}

TEST_F(FreeCDDBModuleTest, SameObjectReusesTheLastDiscUnlessAskedToRefresh) {
    CFreeCDDBModule track;
    track.Initialize();
    track.OpenFile(StringEx("E:\\Track01.cda"));
    EXPECT_EQ(Md5(&track), "audiocd-track1-0d000903-00000000");
    // Each step puts another disc in the drive; only a force or refresh word of 1
    // asks the drive again, and the refresh word is then cleared.
    // Force, refresh word, disc in the drive, disc seen:
    const std::tuple<int, int, std::string, std::string> steps[] = {{5, 5, "0d000905", "0d000903"},
                                                                    {1, 0, "0d000906", "0d000906"},
                                                                    {0, 1, "0d000903", "0d000903"}};
    for (const auto& [force, refresh, disc, seen] : steps) {
        engine_.SetDisc(1, disc + " 3 150 300 525 11");
        SetForceFreeCDDB(force);
        GetConfig()->word[LYCONFIG_CD_REFRESH] = refresh;
        track.OpenFile(StringEx("E:\\Track02.cda"));
        EXPECT_EQ(Md5(&track), "audiocd-track2-" + seen + "-00000000") << disc;
        EXPECT_EQ(GetConfig()->word[LYCONFIG_CD_REFRESH], refresh == 1 ? 0 : refresh);
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
