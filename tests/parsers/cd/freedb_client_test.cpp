// The freedb client: drive and track numbers from paths, parsing and decoding
// of query and read answers, and whole lookups against a real HTTP server
// process on loopback, including servers that redirect, fail, or are down,
// silent or hostile.
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
FakeEngine g_engine;
const bool g_engineReady = [] {
    FakeEngine& engine = g_engine;
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
        {"e:\\Track 3 of 12.cda", 1, 312},
        {"Z:\\Track.cda", kNoCdDrive, 0},
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
        {false, "211 inexact, list follows\r\nrock 7a0bd30b A / B\r\nmisc 7a0bd30c C / D\r\n.\r\n",
         1, "misc|7a0bd30c|D|C|"},
        {true, "210 rock 7a0bd30b entry\r\nDTITLE=X / Y\r\n.\r\n", 0, "||||"},
        // Answers are ISO-8859-1 unless they are valid UTF-8; the record holds UTF-8.
        {false, "200 rock 7a0bd30b Bj\xF6rk / Caf\xE9\r\n", 1,
         "rock|7a0bd30b|Caf\xC3\xA9|Bj\xC3\xB6rk|"},
        {true, "TTITLE0=Caf\xC3\xA9\r\nTTITLE1=Caf\xE9\r\n", 1,  // not UTF-8 as a whole
         "|||||Caf\xC3\x83\xC2\xA9|Caf\xC3\xA9"},
        // Lines end with LF alone too; only EXTD and EXTT end the titles; the
        // title line splits at the first " / ", goes on over DTITLE lines, and
        // without " / " names both.
        {true,
         "DTITLE=AC/DC / Back / In Black \nDYEAR=1980\nTTITLE0=NEXT TIME\nTTITLE1=TEXTURES\n"
         "EXTD= YEAR: 1980\nTTITLE9=not a title\n",
         1, "||Back / In Black|AC/DC|1980|NEXT TIME|TEXTURES"},
        {true, "DTITLE=Long Name / First Half \r\nDTITLE=and Second\r\nTTITLE0=One\r\nEXTT0=\r\n",
         1, "||First Half and Second|Long Name||One"},
        {true, "DTITLE=  Various  \nTTITLE0=One\n", 1, "||Various|Various||One"}};
    for (const auto& [read, answer, result, record] : cases) {
        CFreeDBClient client;
        client.Init(L"D");
        client.SetResponse(answer);
        EXPECT_EQ(read ? client.ParseRead() : client.ParseQuery(), result) << answer;
        EXPECT_EQ(Text(client.record()), record) << answer;
    }
}

// A lookup asks query then read, following a few redirects to http or https
// only; one that finds no names ends in an empty record in time, sends no
// read, and says whether asking later may help.
TEST(FreeDBClientTest, LookupsAskQueryThenReadAndFailuresEndInAnEmptyRecordInTime) {
    CddbTestServer server, silent("silent");
    server.Answer("query/7a0bd30b", kFound);
    server.Answer("read/rock/7a0bd30b",
                  "210 rock 7a0bd30b\r\nDTITLE=Some Artist / Some Album\r\n"
                  "DYEAR=2001\r\nTTITLE0=One\r\nTTITLE1=Two\r\nEXTD=\r\n.\r\n");
    EXPECT_EQ(LookUp(server.address(), L"E").first, 0);  // no disc: nothing is sent
    EXPECT_EQ(LookUp(server.address(), L"Q").first, 0);  // no drive: nothing is asked or sent
    EXPECT_EQ(g_engine.strayDrives, 0);
    const std::string named = "rock|7a0bd30b|Some Album|Some Artist";
    EXPECT_EQ(LookUp(server.address()), std::make_pair(1, named + "|2001|One|Two|0"));
    // The query's own form is checked where lytag cd asks; every request says hello.
    const std::string hello = "&hello=[A-Z_]+\\+[A-Z_]+\\+LYRAMI_CDDB_DLL\\+1\\.0&proto=5\n";
    EXPECT_TRUE(std::regex_match(
        server.Requests(), std::regex("[^\n]*query[^&]*" + hello + "[^\n]*read[^&]*" + hello)))
        << server.Requests();

    // The body of a redirect is not part of the answer.
    server.Answer(
        "read/rock/7a0bd30b",
        CddbTestServer::Http("301 Moved Permanently", "/~cddb/cddb.cgi?cmd=cddb+read+rock+moved",
                             "TTITLE0=No\r\n"));
    server.Answer("read/rock/moved", "DTITLE=Some Artist / Some Album\r\nTTITLE0=One\r\n");
    server.Answer("query/found", kFound);
    // `hops` redirects in a row, the last to `last`; the first answers the query
    // and the others are named r<hops><number>.
    auto redirects = [&](int hops, const std::string& last) {
        auto to = [&](int n) {
            return n > hops ? last
                            : "/~cddb/cddb.cgi?cmd=cddb+query+r" + std::to_string(hops * 10 + n);
        };
        for (int n = 2; n <= hops; ++n)
            server.Answer("query/r" + std::to_string(hops * 10 + n),
                          CddbTestServer::Http("302 Found", to(n + 1)));
        return CddbTestServer::Http("302 Found", to(2));
    };
    const std::string found = "/~cddb/cddb.cgi?cmd=cddb+query+found",
                      closed = CddbTestServer().address();  // gone: nothing listens there
    TempDir dir;
    // server, its query answer, and the result and record, then whether asking
    // again later may help: yes after no connection, a timeout or a 5xx answer;
    // an oversized body ends at our cap or at the timeout, whichever comes first
    // (?: either)
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {silent.address(), kFound, "0" + kNone + "1"},
        // Uncut, this answer would name the category of the read answer.
        {server.address(), "rock 7a0bd30b " + std::string(10u << 20, 'r') + "\n",
         "0" + kNone + "?"},
        {server.address(), CddbTestServer::Http("500 Internal Server Error", "", kFound),
         "0" + kNone + "1"},
        {server.address(), CddbTestServer::Http("404 Not Found", "", kFound), "0" + kNone + "0"},
        {server.address(), kFound, "1" + named + "||One|0"},
        {server.address(), redirects(5, found), "1" + named + "||One|0"},
        {server.address(), redirects(6, found), "0" + kNone + "0"},
        {server.address(), redirects(1, "https://" + closed + found), "0" + kNone + "1"},
        {server.address(), redirects(1, "ftp://" + closed + "/found"), "0" + kNone + "0"},
        {server.address(), redirects(1, "file://" + dir.Write("f", kFound)), "0" + kNone + "0"}};
    for (const auto& [address, answer, expected] : cases) {
        server.Answer("query/7a0bd30b", answer);
        const size_t sent = server.Requests().size();
        const auto begin = std::chrono::steady_clock::now();
        auto [result, record] = LookUp(address);
        // two exchanges of at most 1.5 s each, with slack
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10)) << expected;
        if (expected.back() == '?') record.back() = '?';
        EXPECT_EQ(std::to_string(result) + record, expected);
        EXPECT_EQ(server.Requests().find("read", sent) != std::string::npos, result == 1)
            << expected;
    }
}

}  // namespace
