// The freedb client: drive and track numbers from paths, parsing and decoding
// of query and read answers, and whole lookups against a real HTTP server
// process on loopback, including servers that redirect, fail, or are down,
// silent, endless or hostile.
#include "parsers/cd/freedb_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <tuple>

#include "core/module_state.h"
#include "parsers/cd/cd_path.h"
#include "tests/support/cddb_server.h"
#include "tests/support/fake_engine.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kNone = "|7a0bd30b||||";  // a lookup that found no names, then 0 or 1
const char kFound[] = "200 rock 7a0bd30b Some Artist / Some Album\r\n";

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

// Looks the disc in `drive` up on the server at `address`: the result, and the
// record followed by "|1" when the client would ask again later, else "|0".
std::pair<int, std::string> LookUp(const std::string& address, const wchar_t* drive = L"D") {
    setenv("LYPARSER_CDDB_SERVER", address.c_str(), 1);
    CFreeDBClient client;
    client.Init(drive);
    int result = client.Lookup();
    CddbDiscRecord record;
    client.TakeRecord(&record);
    return {result, Text(record) + (client.FailedForNow() ? "|1" : "|0")};
}

TEST(FreeDBClientTest, PathsNameTheDriveByLetterAndTheTrackByEveryDigit) {
    ASSERT_TRUE(g_engineReady);
    // path, drive, track
    const std::tuple<std::string, int, int> cases[] = {
        {"D:\\Track05.cda", 0, 5},
        {"e:\\Track 3 of 12.cda", 1, 312},
        {"Z:\\Track.cda", 30, 0},
        {"1:\\Track07.cda", 0, 107},
        {"", 0, 0},
        {"\xC4:\\99999999999999.cda", 0, 2147483647}};
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
        {false, kFound, 1, "rock|7a0bd30b|Some Artist / Some Album||"},
        {false, "211 inexact, list follows\r\nrock 7a0bd30b A / B\r\nmisc 7a0bd30c C / D\r\n.\r\n",
         1, "misc|7a0bd30c|C / D||"},
        {false, "202 No match for disc ID 7a0bd30b.\r\n", 1,
         "202|No|match for disc ID 7a0bd30b.||"},
        {false, "rock 7a0bd30b", 1, "||||"},  // no line feed after the second blank
        {true,
         "DTITLE=A / "
         "B\r\nDYEAR=1999\r\nTTITLE0=One\r\nTTITLE1=\xF0\x9F\x8E\xB5\r\nEXTD=\r\nEXTT0=\r\n",
         1, "|||A |1999|One|\xF0\x9F\x8E\xB5"},
        {true, "TTITLE0=One\r\nTTITLE1\r\nTTITLE2=NEXT Level\r\nTTITLE3=Four\r\n", 1,
         "|||||One|TTITLE1"},
        {true, "DTITLE=Band Without Slash\r\nTTITLE0=A\r\nEXTD=\r\n", 1,
         "|||Band Without Slash\r\nTTITLE0=A\r\nEXTD=\r\n||A"},
        {true, "210 rock 7a0bd30b entry\r\nDTITLE=X / Y\r\n.\r\n", 0, "||||"},
        // Answers are ISO-8859-1 unless they are valid UTF-8; the record holds UTF-8.
        {false, "200 rock 7a0bd30b Bj\xF6rk / Caf\xE9\r\n", 1,
         "rock|7a0bd30b|Bj\xC3\xB6rk / Caf\xC3\xA9||"},
        {true, "TTITLE0=Caf\xC3\xA9\r\nTTITLE1=Caf\xE9\r\n", 1,  // not UTF-8 as a whole
         "|||||Caf\xC3\x83\xC2\xA9|Caf\xC3\xA9"},
        {true, "TTITLE0=\xED\xA0\x80\xC0\xAF\r\n", 1,
         "|||||\xC3\xAD\xC2\xA0\xC2\x80\xC3\x80\xC2\xAF"}};
    for (const auto& [read, answer, result, record] : cases) {
        CFreeDBClient client;
        client.Init(L"D");
        client.SetResponse(answer);
        EXPECT_EQ(read ? client.ParseRead() : client.ParseQuery(), result) << answer;
        EXPECT_EQ(Text(client.record()), record) << answer;
    }
}

// A lookup asks query then read; one that finds no names ends in an empty
// record in time, sends no read, and says whether asking later may help.
TEST(FreeDBClientTest, LookupsAskQueryThenReadAndFailuresEndInAnEmptyRecordInTime) {
    CddbTestServer server, silent("silent"), endless("endless");
    server.Answer("query/7a0bd30b", kFound);
    server.Answer("read/rock/7a0bd30b",
                  "210 rock 7a0bd30b\r\nDTITLE=Some Artist / Some Album\r\n"
                  "DYEAR=2001\r\nTTITLE0=One\r\nTTITLE1=Two\r\nEXTD=\r\n.\r\n");
    EXPECT_EQ(LookUp(server.address(), L"E").first, 0);  // no disc: nothing is sent
    EXPECT_EQ(LookUp(server.address()),
              std::make_pair(1, std::string("rock|7a0bd30b|Some Artist / Some Album|Some Artist "
                                            "|2001|One|Two|0")));
    // The query's own form is checked where lytag cd asks; every request says hello.
    const std::string hello = "&hello=[A-Z_]+\\+[A-Z_]+\\+LYRAMI_CDDB_DLL\\+1\\.0&proto=5\n";
    EXPECT_TRUE(std::regex_match(
        server.Requests(), std::regex("[^\n]*query[^&]*" + hello + "[^\n]*read[^&]*" + hello)))
        << server.Requests();

    const std::string closed = CddbTestServer().address();  // gone: nothing listens there
    // server, its query answer, and whether asking again later may help: yes
    // after no connection, a timeout or a 5xx answer; an endless or oversized
    // body ends at our cap or at the timeout, whichever comes first (?: either)
    const std::tuple<std::string, std::string, char> cases[] = {
        {closed, "", '1'},
        {silent.address(), "", '1'},
        {endless.address(), "", '?'},
        // Uncut, this answer would name the category of the read answer above.
        {server.address(), "rock 7a0bd30b " + std::string(10u << 20, 'r') + "\n", '?'},
        {server.address(), CddbTestServer::Http("503 Service Unavailable"), '1'},
        {server.address(), CddbTestServer::Http("500 Internal Server Error", "", kFound), '1'},
        {server.address(), CddbTestServer::Http("404 Not Found", "", kFound), '0'},
        {server.address(), "202 No match for disc ID 7a0bd30b.\r\n", '0'}};
    for (const auto& [address, answer, passing] : cases) {
        if (!answer.empty()) server.Answer("query/7a0bd30b", answer);
        const auto begin = std::chrono::steady_clock::now();
        auto [result, record] = LookUp(address);
        // two exchanges of at most 1.5 s each, with slack
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10)) << answer;
        EXPECT_EQ(result, 0) << address << " " << answer;
        if (passing == '?') record.back() = '?';
        EXPECT_EQ(record, kNone + passing) << address << " " << answer;
    }
    EXPECT_EQ(server.Requests().find("read", server.Requests().find("read") + 1), std::string::npos)
        << server.Requests();
    EXPECT_FALSE(endless.Requests().empty());
}

TEST(FreeDBClientTest, RedirectsAreFollowedAFewHopsAndOnlyToHttpOrHttps) {
    CddbTestServer server, other;
    TempDir dir;
    auto query = [](const std::string& id) { return "/~cddb/cddb.cgi?cmd=cddb+query+" + id; };
    server.Answer("query/found", kFound);
    other.Answer("query/elsewhere", kFound);
    // The body of a redirect is not part of the answer.
    server.Answer(
        "read/rock/7a0bd30b",
        CddbTestServer::Http("301 Moved Permanently", "/~cddb/cddb.cgi?cmd=cddb+read+rock+moved",
                             "TTITLE0=Moved\r\n"));
    server.Answer("read/rock/moved",
                  "DTITLE=Some Artist / Some Album\r\nTTITLE0=One\r\nTTITLE1=Two\r\n");
    const std::string closed = CddbTestServer().address();
    // status of each redirect, redirects in a row, where the last leads, and
    // the lookup's result and record
    const std::string named = "rock|7a0bd30b|Some Artist / Some Album|Some Artist ||One|Two|0",
                      none = kNone + "0";
    const std::tuple<std::string, int, std::string, int, std::string> cases[] = {
        {"301 Moved Permanently", 1, query("found"), 1, named},
        {"302 Found", 1, query("found"), 1, named},
        {"303 See Other", 1, query("found"), 1, named},
        {"307 Temporary Redirect", 1, query("found"), 1, named},
        {"308 Permanent Redirect", 5, query("found"), 1, named},
        {"302 Found", 6, query("found"), 0, none},
        {"302 Found", 1, "http://" + other.address() + query("elsewhere"), 1, named},
        // tried: nothing listens, so asking later may help
        {"302 Found", 1, "https://" + closed + query("found"), 0, kNone + "1"},
        {"302 Found", 1, "file://" + dir.Write("found", kFound), 0, none},
        {"302 Found", 1, "ftp://" + closed + "/found", 0, none}};
    for (const auto& [status, hops, last, result, record] : cases) {
        for (int hop = 0; hop < hops; ++hop) {
            const std::string next =
                hop + 1 == hops ? last : query("hop" + std::to_string(hop + 1));
            server.Answer(hop == 0 ? "query/7a0bd30b" : "query/hop" + std::to_string(hop),
                          CddbTestServer::Http(status, next));
        }
        EXPECT_EQ(LookUp(server.address()), std::make_pair(result, record))
            << status << " " << hops << " " << last;
    }
}

}  // namespace
