// lytag cd on a CD image made from code, against CDDB servers on loopback: the
// names as text or JSON (the artist and the album of the disc title line
// apart, trimmed), and, for a lookup without names, why.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/cddb_server.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/lytag_run.h"
#include "tools/samples/cd_image.h"

namespace {

TEST(LytagCdTest, ImageIsLookedUpAndLookupsWithoutNamesSayWhy) {
    // Tracks of 2, 3 and 4 seconds start at frames 150, 300 and 525 and the
    // lead-out is at 825: digit sums 2 + 4 + 7 = 13, 11 - 2 = 9 seconds, 3 tracks.
    TempDir dir;
    const std::string image = MakeCdImage(dir.path(), "disc", {150, 225, 300});
    ASSERT_FALSE(image.empty());
    CddbTestServer server, silent("silent"), failing, empty;
    server.Answer("query/0d000903", "200 rock 0d000903 Test Band / Silent Songs\r\n");
    server.Answer("read/rock/0d000903",
                  "210 rock 0d000903\r\nDTITLE= Test Band  /  Silent Songs \r\n"
                  "DYEAR=2024\r\nTTITLE0=Hush\r\nTTITLE1=Quiet\r\nTTITLE2=Still\r\nEXTD=\r\n.\r\n");
    failing.Answer("query/0d000903", CddbTestServer::Http("503 Service Unavailable"));
    auto cd = [&](const std::string& at, std::vector<std::string> more) {
        more.insert(more.begin(), {"cd", "--device", image, "--server", at, "--timeout",
                                   at == silent.address() ? "1" : "20"});
        return Lytag(more);
    };

    CommandResult result = cd(server.address(), {"--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    nlohmann::json disc = nlohmann::json::parse(result.out);
    EXPECT_EQ(disc["source"], image);
    disc.erase("source");
    EXPECT_EQ(disc, nlohmann::json::parse(
                        R"({"album":"Silent Songs","artist":"Test Band","discId":)"
                        R"("0d000903","genre":"rock","tracks":[{"number":1,"seconds":2,"title":)"
                        R"("Hush"},{"number":2,"seconds":3,"title":"Quiet"},{"number":3,)"
                        R"("seconds":4,"title":"Still"}],"year":"2024"})"));
    const std::string query = "/~cddb/cddb.cgi?cmd=cddb+query+0d000903+3+150+300+525+11&";
    EXPECT_EQ(server.Requests().rfind(query, 0), 0u) << server.Requests();
    EXPECT_EQ(Lytag({"cd", "--device", dir.File("none.cue")}).status, 1);

    // A server that never answers, cannot be reached or fails is exit status
    // 1; one that knows no such disc is not.
    const std::string closed = CddbTestServer().address();  // gone: nothing listens there
    const std::tuple<std::string, int, std::string> rows[] = {
        {server.address(), 0,
         "Disc 0d000903: 3 tracks, 0:09 (" + image +
             ")\n  artist: Test Band\n  album: Silent Songs\n  year: 2024\n"
             "  genre: rock\n  1. Hush (0:02)\n  2. Quiet (0:03)\n  3. Still (0:04)\n"},
        {silent.address(), 1, "lytag: the CDDB server did not answer within 1 s\n"},
        {closed, 1, "lytag: the CDDB server did not answer ("},
        {failing.address(), 1, "lytag: the CDDB server failed: HTTP status 503\n"},
        {empty.address(), 0, "lytag: the CDDB server knows no names for this disc\n"}};
    for (const auto& [address, status, start] : rows) {
        result = cd(address, {});
        EXPECT_EQ(result.status, status) << address << result.err;
        if (address == server.address()) {
            EXPECT_EQ(result.out, start);
        } else {
            EXPECT_EQ(result.err.rfind(start, 0), 0u) << start << "\n" << result.err;
            EXPECT_NE(result.out.find("1. (no name)"), std::string::npos);
        }
    }
}

}  // namespace
