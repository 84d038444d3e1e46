// The freedb client: drive and track numbers from paths, parsing of query and
// read answers, and whole lookups against a real HTTP server process on
// loopback, including servers that are down, silent, endless or hostile.
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

class FreeDBClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        engine_.driveLetters = {3, 4};  // D: with a disc, E: empty
        engine_.SetDisc(0, "7a0bd30b 2 150 20000 600");
        StoreBassAudio(&engine_);
        setenv("LYPARSER_HTTP_TIMEOUT_MS", "1500", 1);
    }

    // Looks the disc in `drive` up on the server at `address`.
    static int LookUp(const std::string& address, CddbDiscRecord* record, const wchar_t* drive = L"D") {
        setenv("LYPARSER_CDDB_SERVER", address.c_str(), 1);
        CFreeDBClient client;
        client.Init(drive);
        int result = client.Lookup();
        client.TakeRecord(record);
        return result;
    }

    static FakeEngine engine_;
};

FakeEngine FreeDBClientTest::engine_;

TEST_F(FreeDBClientTest, PathsNameTheDriveByLetterAndTheTrackByEveryDigit) {
    struct Case {
        std::string path;
        int drive, track;
    } cases[] = {{"D:\\Track05.cda", 0, 5},  {"e:\\Track 3 of 12.cda", 1, 312}, {"Z:\\Track.cda", 30, 0},
                 {"1:\\Track07.cda", 0, 107}, {"", 0, 0}, {"\xC4:\\99999999999999.cda", 0, 2147483647}};
    for (const auto& c : cases) {
        std::wstring wide(c.path.begin(), c.path.end());
        EXPECT_EQ(DriveIndexFromPath(c.path), c.drive) << c.path;
        EXPECT_EQ(DriveIndexFromPath(wide), c.drive) << c.path;
        EXPECT_EQ(TrackNumberFromPath(c.path), c.track) << c.path;
        EXPECT_EQ(TrackNumberFromPath(wide), c.track) << c.path;
    }
}

TEST_F(FreeDBClientTest, QueryAnswersPickTheLastListedCategory) {
    struct Case {
        std::string response, genre, discId, album;
    } cases[] = {
        {"200 rock 7a0bd30b Some Artist / Some Album\r\n", "rock", "7a0bd30b", "Some Artist / Some Album"},
        {"211 Found inexact matches, list follows (until terminating `.')\r\n"
         "rock 7a0bd30b First / Match\r\nmisc 7a0bd30c Second / Match\r\n.\r\n",
         "misc", "7a0bd30c", "Second / Match"},
        {"Content-Type: text/plain jazz\r\nrock 11 One / Two\r\n", "rock", "11", "One / Two"},
        {"202 No match for disc ID 7a0bd30b.\r\n", "202", "No", "match for disc ID 7a0bd30b."},
        {"rock", "", "", ""},           // a category alone: nothing stored
        {"rock 7a0bd30b", "", "", ""},  // no line feed after the second blank
    };
    for (const auto& c : cases) {
        CFreeDBClient client;
        client.Init(L"D");
        client.SetResponse(c.response);
        EXPECT_EQ(client.ParseQuery(), 1);
        EXPECT_EQ(client.record().genre, c.genre) << c.response;
        EXPECT_EQ(client.record().discId, c.discId) << c.response;
        EXPECT_EQ(client.record().album, c.album) << c.response;
    }
}

TEST_F(FreeDBClientTest, ReadAnswersGiveTitlesYearAndArtist) {
    struct Case {
        std::string response;
        int result;
        std::vector<std::string> titles;
        std::string year, artist;
    } cases[] = {
        {"DTITLE=Some Artist / Some Album\r\nDYEAR=1999\r\nTTITLE0=One\r\nTTITLE1=Two\r\nEXTD=\r\nEXTT0=\r\n.\r\n",
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

TEST_F(FreeDBClientTest, LookupSendsQueryAndReadWithTheHelloAndKeepsTheNames) {
    CddbTestServer server;
    server.Answer("query/7a0bd30b", "200 rock 7a0bd30b Some Artist / Some Album\r\n");
    server.Answer("read/rock/7a0bd30b", "210 rock 7a0bd30b\r\nDTITLE=Some Artist / Some Album\r\nDYEAR=2001\r\n"
                                        "TTITLE0=One\r\nTTITLE1=Two\r\nEXTD=\r\n.\r\n");
    CddbDiscRecord record;
    EXPECT_EQ(LookUp(server.address(), &record, L"E"), 0);  // no disc: nothing is sent
    EXPECT_EQ(LookUp(server.address(), &record), 1);
    EXPECT_EQ(record.discId, "7a0bd30b");
    EXPECT_EQ(record.artist, "Some Artist ");
    EXPECT_EQ(record.album, "Some Artist / Some Album");
    EXPECT_EQ(record.year, "2001");
    EXPECT_EQ(record.genre, "rock");
    EXPECT_EQ(record.trackTitles, (std::vector<std::string>{"One", "Two"}));

    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string hello = std::string("&hello=") + (geteuid() == 0 ? "ROOT" : "[A-Z_]+") +
                              "\\+[A-Z_]+\\+LYRAMI_CDDB_DLL\\+1\\.0&proto=5";
    EXPECT_TRUE(std::regex_match(requests[0], std::regex("/~cddb/cddb\\.cgi\\?cmd=cddb\\+query\\+7a0bd30b\\+2\\+"
                                                         "150\\+20000\\+600" + hello)))
        << requests[0];
    EXPECT_TRUE(std::regex_match(requests[1], std::regex("/~cddb/cddb\\.cgi\\?cmd=cddb\\+read\\+rock\\+7a0bd30b" +
                                                         hello)))
        << requests[1];
}

TEST_F(FreeDBClientTest, BrokenServersAndHostileAnswersEndInAnEmptyRecordInTime) {
    CddbTestServer silent("silent"), endless("endless"), normal;
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>(i * 37 % 256));
    struct Case {
        std::string address, answer;  // no answer: the server knows no such disc
    } cases[] = {{ClosedLoopbackAddress(), ""},
                 {silent.address(), ""},
                 {endless.address(), ""},
                 {normal.address(), ""},
                 {normal.address(), binary},
                 {normal.address(), std::string(10u << 20, 'r')},  // no line feed: cut at the body cap
                 {normal.address(), "rock7a0bd30bNoBlanks\r\n"},
                 {normal.address(), "rock\n"}};
    for (const auto& c : cases) {
        if (!c.answer.empty()) {
            normal.Answer("query/7a0bd30b", c.answer);
            normal.Answer("read/rock/7a0bd30b", c.answer);
        }
        auto begin = std::chrono::steady_clock::now();
        CddbDiscRecord record;
        EXPECT_EQ(LookUp(c.address, &record), 0) << c.address << " " << c.answer.size();
        // two exchanges of at most 1.5 s each, with slack
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10)) << c.address;
        EXPECT_EQ(record.discId, "7a0bd30b");
        EXPECT_TRUE(record.trackTitles.empty());
    }
    EXPECT_FALSE(endless.Requests().empty());
}

}  // namespace
