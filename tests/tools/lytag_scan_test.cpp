// lytag scan: the same lines, in the order of the paths' bytes, whatever the
// number of threads or the overlap of the folders; things that are not files
// named without waiting, every file not listed named with its reason, what
// cannot be read an error; JSON Lines with the fields show gives, TSV
// escapes and exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <regex>
#include <tuple>

#include "tests/support/ogg_fixtures.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/lytag_run.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wav_sample.h"
#include "tools/samples/wma_sample.h"

namespace {

TEST(LytagScanTest, SameLinesWhateverThreadsOrOverlapAndEveryFileNotListedIsNamed) {
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
    dir.Write("notes.txt", std::string("no tags in here"));
    dir.Write("album/tab\tand\nline.wav", MakeWavTone(1.0));
    OpusSampleLayout opus;
    opus.comments = {"TITLE=Covered", PictureComment(3, "image/png", PatternBytes(300))};
    dir.Write("album/cover.opus", MakeOggOpus(opus));
    mkfifo(dir.File("pipe.mp3").c_str(), 0644);
    symlink("loop-b", dir.File("loop-a").c_str());
    symlink("loop-a", dir.File("loop-b").c_str());
    symlink("..", dir.File("album/up").c_str());

    CommandResult one = Lytag({"scan", music, "--jobs", "1", "--md5"});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(SortedLines(one.out).size(), 27u);
    EXPECT_EQ(Lytag({"scan", music, "--jobs", "8", "--md5"}).out, one.out);
    EXPECT_EQ(Lytag({"scan", dir.File("album"), music, "--md5"}).out, one.out);
    for (const std::string& part :
         {"\n" + dir.File("tone3.wav") + "\tWAV\ttone3\t4\t",
          "\n" + dir.File("album/tab\\tand\\nline.wav") + "\tWAV\ttab\\tand\\nline\t",
          std::string("refused, not an audio file lyParser reads: 1"),
          std::string("other files (no tags lyParser reads): 1"),
          "lytag: " + dir.File("README") + ": not an audio file lyParser reads\n",
          "lytag: " + dir.File("pipe.mp3") + ": not a regular file\n",
          "lytag: " + dir.File("loop-a") + ": symbolic link loop\n"}) {
        EXPECT_NE(("\n" + one.out + one.err).find(part), std::string::npos) << part;
    }
    EXPECT_EQ(one.err.find("files/s"), std::string::npos);  // no terminal: no progress bar

    // Each object as the line that names it, and each refusal as an object
    // too, sorted by path; the fields as show gives them.
    std::string fromJson;
    CommandResult json = Lytag({"scan", music, "--json", "--md5", "-q"});
    std::vector<std::string> paths;
    for (nlohmann::json o : JsonLines(json.out)) {
        paths.push_back(o["file"]);
        for (const auto& [file, field, value] :
             {std::tuple{"album/song2.mp3", "title", "Morning Tone"},
              {"album/cover.opus", "picture-size", "300"}}) {
            if (o["file"] != dir.File(file)) continue;
            const CommandResult shown = Lytag({"show", "--json", o["file"]});
            EXPECT_EQ(o["fields"], nlohmann::json::parse(shown.out)["fields"]);
            EXPECT_EQ(o["fields"][field], value);
        }
        if (o.contains("refused")) continue;
        for (const char* key : {"file", "typeName", "description", "seconds", "md5"}) {
            std::string text = o[key].is_string() ? o[key].get<std::string>() : o[key].dump();
            text = std::regex_replace(std::regex_replace(text, std::regex("\t"), "\\t"),
                                      std::regex("\n"), "\\n");
            fromJson += text + (key[0] == 'm' ? "\n" : "\t");
        }
    }
    EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end())) << json.out;
    const nlohmann::json pipe = {{"file", dir.File("pipe.mp3")}, {"refused", "not a regular file"}};
    EXPECT_NE(json.out.find(pipe.dump() + "\n"), std::string::npos) << json.out;
    EXPECT_EQ(SortedLines(fromJson), SortedLines(one.out));
    EXPECT_EQ(json.err.find("Scanned"), std::string::npos);  // --quiet: no summary
    EXPECT_NE(json.err.find("lytag: " + dir.File("README") + ": not an audio file"),
              std::string::npos);

    EXPECT_EQ(Lytag({"scan", music, "--jobs", "0"}).status, 2);
}

// A folder that cannot be listed and a file that cannot be read are named
// with the system's reason and make the scan fail; the rest is listed.
TEST(LytagScanTest, WhatCannotBeReadIsNamedAndFailsTheScan) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const std::string song = dir.Write("song.mp3", MakeMp3Sample());
    const std::string secret = dir.Write("secret.mp3", MakeMp3Sample());
    const std::string locked = dir.File("locked");
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    dir.Write("locked/hidden.mp3", MakeMp3Sample());
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    ASSERT_EQ(chmod(secret.c_str(), 0), 0);
    // As root every file is readable: the scan runs as an ordinary user.
    CommandResult result =
        Lytag({"scan", "-j", "1", dir.path(), dir.File("missing")}, "", geteuid() == 0);
    chmod(locked.c_str(), 0755);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out.substr(0, result.out.find('\t')), song);
    for (const std::string& named : {locked + ": Permission denied", secret + ": Permission denied",
                                     dir.File("missing") + ": No such file or directory"}) {
        EXPECT_NE(result.err.find("lytag: " + named + "\n"), std::string::npos) << result.err;
    }
}

}  // namespace