// The freedb client: drive and track numbers from paths, the engine's query
// text, parsing of query and read answers, the hello text, and whole lookups
// against a real HTTP server process on loopback, including servers that are
// down, silent or endless.
#include "parsers/cd/freedb_client.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <regex>

#include "core/module_state.h"
#include "parsers/cd/cd_path.h"
#include "tests/support/cddb_server.h"
#include "tests/support/fake_engine.h"

namespace {

const char kQueryText[] = "7a0bd30b 2 150 20000 600";

class FreeDBClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        engine_.driveLetters = {3, 4};  // D: and E:
        engine_.SetDisc(0, kQueryText);
        StoreBassAudio(&engine_);
        setenv("LYPARSER_HTTP_TIMEOUT_MS", "1500", 1);
    }

    // A client whose record is parsed from `response`.
    static CddbDiscRecord ParseQueryOf(const std::string& response) {
        CFreeDBClient client;
        client.Init(L"D");
        client.SetResponse(response);
        EXPECT_EQ(client.ParseQuery(), 1);
        return client.record();
    }

    static FakeEngine engine_;
};

FakeEngine FreeDBClientTest::engine_;

TEST_F(FreeDBClientTest, DriveNumbersComeFromTheFirstCharacter) {
    struct Case {
        std::wstring path;
        int drive;
    } cases[] = {{L"D:\\Track01.cda", 0}, {L"d", 0}, {L"E:\\x", 1}, {L"Z:\\x", 30},
                 {L"1:\\x", 0},          {L"", 0},  {L"\u00C4", 0}};
    for (const auto& c : cases) EXPECT_EQ(DriveIndexFromPath(c.path), c.drive);
    EXPECT_EQ(DriveIndexFromPath(std::string("e:")), 1);
}

TEST_F(FreeDBClientTest, TrackNumbersJoinEveryDigit) {
    struct Case {
        std::string path;
        int track;
    } cases[] = {{"D:\\Track05.cda", 5}, {"D:\\Track 3 of 12.cda", 312}, {"D:\\Track.cda", 0},
                 {"D2:\\Track07.cda", 207}, {"D:\\99999999999999.cda", 2147483647}};
    for (const auto& c : cases) {
        EXPECT_EQ(TrackNumberFromPath(c.path), c.track) << c.path;
        EXPECT_EQ(TrackNumberFromPath(std::wstring(c.path.begin(), c.path.end())), c.track);
    }
}

TEST_F(FreeDBClientTest, EngineQueryTextGivesTheDiscIdAndTheQuery) {
    CFreeDBClient client;
    client.Init(L"D");
    ASSERT_EQ(client.GetDiscId(L"D"), 1);
    EXPECT_EQ(client.engineDiscId(), "7a0bd30b");
    EXPECT_EQ(client.queryText(), "7a0bd30b+2+150+20000+600");
    EXPECT_EQ(client.GetDiscId(L"E"), 0);  // no disc in drive 1
}

TEST_F(FreeDBClientTest, QueryAnswersPickTheLastListedCategory) {
    struct Case {
        std::string response, genre, discId, album;
    } cases[] = {
        {"200 rock 7a0bd30b Some Artist / Some Album\r\n", "rock", "7a0bd30b",
         "Some Artist / Some Album"},
        {"211 Found inexact matches, list follows (until terminating `.')\r\n"
         "rock 7a0bd30b First / Match\r\nmisc 7a0bd30c Second / Match\r\n.\r\n",
         "misc", "7a0bd30c", "Second / Match"},
        {"Content-Type: text/plain jazz\r\nrock 11 One / Two\r\n", "rock", "11", "One / Two"},
        {"202 No match for disc ID 7a0bd30b.\r\n", "202", "No", "match for disc ID 7a0bd30b."},
        {"rock", "", "", ""},            // a category alone: nothing stored
        {"rock 7a0bd30b", "", "", ""},   // no line feed after the second blank
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        CddbDiscRecord record = ParseQueryOf(c.response);
        EXPECT_EQ(record.genre, c.genre) << c.response;
        EXPECT_EQ(record.discId, c.discId) << c.response;
        EXPECT_EQ(record.album, c.album) << c.response;
    }
}

TEST_F(FreeDBClientTest, ReadAnswersGiveTitlesYearAndArtist) {
    struct Case {
        std::string response;
        int result;
        std::vector<std::string> titles;
        std::string year, artist;
    } cases[] = {
        {"DTITLE=Some Artist / Some Album\r\nDYEAR=1999\r\nTTITLE0=One\r\nTTITLE1=Two\r\n"
         "EXTD=\r\nEXTT0=\r\n.\r\n",
         1, {"One", "Two"}, "1999", "Some Artist "},
        {"TTITLE0=One\r\nTTITLE1=NEXT Level\r\nTTITLE2=Three\r\n", 1, {"One"}, "", ""},
        {"TTITLE0=No equals\r\nTTITLE1\r\n", 1, {"No equals", "TTITLE1"}, "", ""},
        {"DTITLE=Band Without Slash\r\nTTITLE0=A\r\nEXTD=\r\n", 1, {"A"}, "",
         "Band Without Slash\r\nTTITLE0=A\r\nEXTD=\r\n"},
        {"TTITLE0=A\r\nEXTD=\r\nDYEAR=", 1, {"A"}, "", ""},
        {"210 rock 7a0bd30b entry\r\nDTITLE=X / Y\r\n.\r\n", 0, {}, "", ""},
    };
    for (const auto& c : cases) {
        CFreeDBClient client;
        client.Init(L"D");
        client.SetResponse(c.response);
        EXPECT_EQ(client.ParseRead(), c.result) << c.response;
        EXPECT_EQ(client.record().trackTitles, c.titles) << c.response;
        EXPECT_EQ(client.record().year, c.year) << c.response;
        EXPECT_EQ(client.record().artist, c.result ? c.artist : "") << c.response;
    }
}

TEST_F(FreeDBClientTest, HelloTextNamesUserHostClientAndProtocol) {
    CFreeDBClient client;
    std::string hello = client.HelloText();
    EXPECT_TRUE(std::regex_match(hello, std::regex("hello=[A-Z_]+\\+[A-Z_]+\\+LYRAMI_CDDB_DLL\\+1\\.0&proto=5")))
        << hello;
    if (geteuid() == 0) {
        EXPECT_EQ(hello.rfind("hello=ROOT+", 0), 0u) << hello;
    }
}

TEST_F(FreeDBClientTest, LookupAgainstARealServerSendsTheProtocolsCommands) {
    CddbTestServer server;
    server.SetQueryAnswer("7a0bd30b", "200 rock 7a0bd30b Some Artist / Some Album\r\n");
    server.SetReadAnswer("rock", "7a0bd30b",
                         "210 rock 7a0bd30b\r\nDTITLE=Some Artist / Some Album\r\nDYEAR=2001\r\n"
                         "TTITLE0=One\r\nTTITLE1=Two\r\nEXTD=\r\n.\r\n");
    setenv("LYPARSER_CDDB_SERVER", server.address().c_str(), 1);
    CFreeDBClient client;
    client.Init(L"D");
    EXPECT_EQ(client.Lookup(), 1);
    CddbDiscRecord record;
    client.TakeRecord(&record);
    EXPECT_EQ(record.discId, "7a0bd30b");
    EXPECT_EQ(record.artist, "Some Artist ");
    EXPECT_EQ(record.album, "Some Artist / Some Album");
    EXPECT_EQ(record.year, "2001");
    EXPECT_EQ(record.genre, "rock");
    EXPECT_EQ(record.trackTitles, (std::vector<std::string>{"One", "Two"}));

    std::string hello = client.HelloText();
    EXPECT_EQ(server.Requests(),
              (std::vector<std::string>{
                  "/~cddb/cddb.cgi?cmd=cddb+query+7a0bd30b+2+150+20000+600&" + hello,
                  "/~cddb/cddb.cgi?cmd=cddb+read+rock+7a0bd30b&" + hello}));
}

TEST_F(FreeDBClientTest, BrokenServersEndTheLookupWithinItsLimits) {
    CddbTestServer silent("silent"), endless("endless");
    for (const std::string& address : {ClosedLoopbackAddress(), silent.address(), endless.address()}) {
        setenv("LYPARSER_CDDB_SERVER", address.c_str(), 1);
        auto begin = std::chrono::steady_clock::now();
        CFreeDBClient client;
        client.Init(L"D");
        EXPECT_EQ(client.Lookup(), 0) << address;
        auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        EXPECT_LT(seconds, 10.0) << address;  // two exchanges of at most 1.5 s each, with slack
        CddbDiscRecord record;
        client.TakeRecord(&record);
        EXPECT_EQ(record.discId, "7a0bd30b");
        EXPECT_TRUE(record.trackTitles.empty());
    }
    EXPECT_FALSE(endless.Requests().empty());
}

TEST_F(FreeDBClientTest, HostileAnswersEndInAnEmptyRecord) {
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>(i * 37 % 256));
    const std::string answers[] = {
        binary,
        std::string(10u << 20, 'r'),  // 10 MB without a line feed: cut at the body cap
        "rock7a0bd30bNoBlanks\r\n",
        "rock\n",
    };
    for (const auto& answer : answers) {
        CddbTestServer server;
        server.SetQueryAnswer("7a0bd30b", answer);
        server.SetReadAnswer("rock", "7a0bd30b", answer);
        setenv("LYPARSER_CDDB_SERVER", server.address().c_str(), 1);
        CFreeDBClient client;
        client.Init(L"D");
        EXPECT_EQ(client.Lookup(), 0) << answer.size();
        EXPECT_TRUE(client.record().trackTitles.empty());
    }
}

}  // namespace
