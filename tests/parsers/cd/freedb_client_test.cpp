// The freedb client: drive and track numbers from paths, parsing of query and
// read answers, and whole lookups against a real HTTP server process on
// loopback, including servers that are down, silent, endless or hostile.
#include "parsers/cd/freedb_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <tuple>

#include "core/module_state.h"
#include "parsers/cd/cd_path.h"
#include "tests/support/cddb_server.h"
#include "tests/support/fake_engine.h"

namespace {

// The record as "genre|discId|album|artist|year|title|title...".
std::string Text(const CddbDiscRecord& r) {
    std::string text = r.genre + "|" + r.discId + "|" + r.album + "|" + r.artist + "|" + r.year;
    for (const auto& title : r.trackTitles) text += "|" + title;
    return text;
}

// Every lookup asks this engine: D: holds a disc, E: is empty.
const bool g_engineReady = [] {
    static FakeEngine engine;
    engine.driveLetters = {3, 4};
    engine.SetDisc(0, "7a0bd30b 2 150 20000 600");
    setenv("LYPARSER_HTTP_TIMEOUT_MS", "1500", 1);
    return StoreBassAudio(&engine);
}();

// Looks the disc in `drive` up on the server at `address`.
int LookUp(const std::string& address, CddbDiscRecord* record, const wchar_t* drive = L"D") {
    setenv("LYPARSER_CDDB_SERVER", address.c_str(), 1);
    CFreeDBClient client;
    client.Init(drive);
    int result = client.Lookup();
    client.TakeRecord(record);
    return result;
}

TEST(FreeDBClientTest, PathsNameTheDriveByLetterAndTheTrackByEveryDigit) {
    ASSERT_TRUE(g_engineReady);
    // path, drive, track
    const std::tuple<std::string, int, int> cases[] = {
        {"D:\\Track05.cda", 0, 5}, {"e:\\Track 3 of 12.cda", 1, 312}, {"Z:\\Track.cda", 30, 0},
        {"1:\\Track07.cda", 0, 107}, {"", 0, 0}, {"\xC4:\\99999999999999.cda", 0, 2147483647}};
    for (const auto& [path, drive, track] : cases) {
        std::wstring wide(path.begin(), path.end());
        EXPECT_EQ(DriveIndexFromPath(path), drive) << path;
        EXPECT_EQ(DriveIndexFromPath(wide), drive) << path;
        EXPECT_EQ(TrackNumberFromPath(path), track) << path;
        EXPECT_EQ(TrackNumberFromPath(wide), track) << path;
    }
}

TEST(FreeDBClientTest, QueryAnswersPickTheLastListedCategoryAndReadAnswersGiveTheNames) {
    // read or query, answer, result, record as genre|discId|album|artist|year|titles
    const std::tuple<bool, std::string, int, std::string> cases[] = {
        {false, "200 rock 7a0bd30b Some Artist / Some Album\r\n", 1,
         "rock|7a0bd30b|Some Artist / Some Album||"},
        {false, "211 inexact, list follows\r\nrock 7a0bd30b A / B\r\nmisc 7a0bd30c C / D\r\n.\r\n",
         1, "misc|7a0bd30c|C / D||"},
        {false, "202 No match for disc ID 7a0bd30b.\r\n", 1,
         "202|No|match for disc ID 7a0bd30b.||"},
        {false, "rock 7a0bd30b", 1, "||||"},  // no line feed after the second blank
        {true, "DTITLE=A / B\r\nDYEAR=1999\r\nTTITLE0=One\r\nTTITLE1=Two\r\nEXTD=\r\nEXTT0=\r\n", 1,
         "|||A |1999|One|Two"},
        {true, "TTITLE0=One\r\nTTITLE1\r\nTTITLE2=NEXT Level\r\nTTITLE3=Four\r\n", 1,
         "|||||One|TTITLE1"},
        {true, "DTITLE=Band Without Slash\r\nTTITLE0=A\r\nEXTD=\r\n", 1,
         "|||Band Without Slash\r\nTTITLE0=A\r\nEXTD=\r\n||A"},
        {true, "210 rock 7a0bd30b entry\r\nDTITLE=X / Y\r\n.\r\n", 0, "||||"}};
    for (const auto& [read, answer, result, record] : cases) {
        CFreeDBClient client;
        client.Init(L"D");
        client.SetResponse(answer);
        EXPECT_EQ(read ? client.ParseRead() : client.ParseQuery(), result) << answer;
        EXPECT_EQ(Text(client.record()), record) << answer;
    }
}

TEST(FreeDBClientTest, LookupsAskQueryThenReadAndBrokenServersEndInAnEmptyRecordInTime) {
    CddbTestServer server, silent("silent"), endless("endless");
    server.Answer("query/7a0bd30b", "200 rock 7a0bd30b Some Artist / Some Album\r\n");
    server.Answer("read/rock/7a0bd30b",
                  "210 rock 7a0bd30b\r\nDTITLE=Some Artist / Some Album\r\n"
                  "DYEAR=2001\r\nTTITLE0=One\r\nTTITLE1=Two\r\nEXTD=\r\n.\r\n");
    CddbDiscRecord record;
    EXPECT_EQ(LookUp(server.address(), &record, L"E"), 0);  // no disc: nothing is sent
    EXPECT_EQ(LookUp(server.address(), &record), 1);
    EXPECT_EQ(Text(record), "rock|7a0bd30b|Some Artist / Some Album|Some Artist |2001|One|Two");
    const std::string cgi = "/~cddb/cddb\\.cgi\\?cmd=cddb\\+";
    const std::string hello = "&hello=[A-Z_]+\\+[A-Z_]+\\+LYRAMI_CDDB_DLL\\+1\\.0&proto=5\n";
    EXPECT_TRUE(std::regex_match(
        server.Requests(), std::regex(cgi + "query\\+7a0bd30b\\+2\\+150\\+20000\\+600" + hello +
                                      cgi + "read\\+rock\\+7a0bd30b" + hello)))
        << server.Requests();

    // Uncut, this query answer would name the category of the read answer above.
    server.Answer("query/7a0bd30b", "rock 7a0bd30b " + std::string(10u << 20, 'r') + "\n");
    const std::string closed = CddbTestServer().address();  // gone: nothing listens there
    for (const std::string& address :
         {closed, silent.address(), endless.address(), server.address()}) {
        auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(LookUp(address, &record), 0) << address;
        // two exchanges of at most 1.5 s each, with slack
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10)) << address;
        EXPECT_EQ(Text(record), "|7a0bd30b|||") << address;
    }
    EXPECT_FALSE(endless.Requests().empty());
}

}  // namespace
