// lytag scan: the same lines whatever the number of threads, things that are
// not files skipped without waiting, JSON Lines and exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wav_sample.h"
#include "tools/samples/wma_sample.h"

namespace {

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(LytagScanTest, AnyNumberOfThreadsGivesTheSameLinesAndNonFilesAreSkipped) {
    TempDir dir;
    const std::string music = dir.path();
    mkdir(dir.File("album").c_str(), 0755);
    for (int i = 0; i < 6; ++i) {
        std::string n = std::to_string(i);
        dir.Write("album/song" + n + ".mp3", MakeMp3Sample());
        dir.Write("album/song" + n + ".ogg", MakeOggSample());
        dir.Write("song" + n + ".wma", MakeWmaSample());
        dir.Write("tone" + n + ".wav", MakeWavTone(1.0 + i));
    }
    dir.Write("README", std::string("no extension: refused"));
    mkfifo(dir.File("pipe.mp3").c_str(), 0644);
    symlink("loop-b", dir.File("loop-a").c_str());
    symlink("loop-a", dir.File("loop-b").c_str());
    symlink("..", dir.File("album/up").c_str());

    CommandResult one = RunCommand({LY_LYTAG_PATH, "scan", music, "--jobs", "1", "--md5"});
    CommandResult eight = RunCommand({LY_LYTAG_PATH, "scan", music, "--jobs", "8", "--md5"});
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(eight.status, 0) << eight.err;
    EXPECT_EQ(SortedLines(one.out), SortedLines(eight.out));
    EXPECT_EQ(SortedLines(one.out).size(), 24u);
    for (const std::string& part : {"\n" + dir.File("tone3.wav") + "\tunknown\ttone3\t4\t",
                                    std::string("refused, not a readable file of a known kind: 1"),
                                    "skipped " + dir.File("pipe.mp3") + ": not a regular file",
                                    "skipped " + dir.File("loop-a") + ": symbolic link loop"}) {
        EXPECT_NE(("\n" + one.out + one.err).find(part), std::string::npos) << part;
    }
    EXPECT_EQ(one.err.find("files/s"), std::string::npos);  // no terminal: no progress bar

    std::string fromJson;  // each object written as the line that names it
    CommandResult json = RunCommand({LY_LYTAG_PATH, "scan", music, "--json", "--md5"});
    for (const auto& line : SortedLines(json.out)) {
        nlohmann::json o = nlohmann::json::parse(line);
        for (const char* key : {"file", "typeName", "description", "seconds", "md5"})
            fromJson += (o[key].is_string() ? o[key].get<std::string>() : o[key].dump()) + "\t";
        fromJson.back() = '\n';
    }
    EXPECT_EQ(SortedLines(fromJson), SortedLines(one.out));

    EXPECT_EQ(RunCommand({LY_LYTAG_PATH, "scan", music, "--jobs", "0"}).status, 2);
    EXPECT_EQ(RunCommand({LY_LYTAG_PATH, "scan", dir.File("missing")}).status, 1);
}

}  // namespace
