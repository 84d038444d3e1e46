// lytag as a person and a script meet it: exit statuses, refusals with their
// reasons, output forms, digests that agree with md5sum, a failed write to
// stdout, --help in step with the man page, and the demo.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <utility>

#include "lyParser.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wav_sample.h"

namespace {

CommandResult Lytag(std::vector<std::string> args) {
    args.insert(args.begin(), LY_LYTAG_PATH);
    return RunCommand(args);
}

std::set<std::string> LongOptions(const std::string& text) {
    std::set<std::string> options;
    std::regex option("--[a-z][a-z0-9-]*");
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it)
        options.insert(it->str());
    return options;
}

TEST(LytagTest, ExitStatusesAndRefusalsWithTheirReasons) {
    TempDir dir;
    std::string text = dir.Write("caf\xC3\xA9.txt", std::string("0123456789"));
    // arguments, exit status
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{}, 2},
        {{"--help"}, 0},
        {{"frobnicate"}, 2},
        {{"picture", text}, 2},
        {{"show", "--bogus", text}, 2},
        {{"md5", text, "--start", "x"}, 2},
        {{"md5", text, "--count", "1", "--end", "2"}, 2},
        {{"md5", text, "--start", "100", "--count", "163941"}, 2},
        {{"set", text, "--field", "nosuch=1"}, 2},
        {{"set", text, "--field"}, 2},
        {{"set", text, "--field", "title:v3=x"}, 2},
        {{"set", text, "--id3v1", "maybe"}, 2}};
    for (const auto& [args, status] : cases) {
        CommandResult result = Lytag(args);
        EXPECT_EQ(result.status, status) << testing::PrintToString(args) << "\n" << result.err;
        EXPECT_EQ(status == 2, result.err.find("lytag") != std::string::npos) << result.err;
    }
    CommandResult version = Lytag({"--version"});
    EXPECT_EQ(version.out, std::string("lytag ") + LYPARSER_VERSION_STRING + "\n");

    std::string archive = dir.Write("pack.zip", std::string("PK"));
    CommandResult result = Lytag({"show", archive, text, dir.File("missing.txt"), dir.path()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "lytag: " + archive +
                  ": not an audio file lyParser reads\nlytag: " + dir.File("missing.txt") +
                  ": No such file or directory\nlytag: " + dir.path() + ": Is a directory\n");
    EXPECT_NE(result.out.find("caf\xC3\xA9"), std::string::npos);

    // A listing cut short by a full disk is a failure, not a success.
    result =
        RunCommand({"/bin/sh", "-c", "exec \"$0\" show \"$1\" > /dev/full", LY_LYTAG_PATH, text});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "lytag: standard output: No space left on device\n");
}

TEST(LytagTest, DigestsOfTheRangeAsked) {
    TempDir dir;
    const Bytes bytes = PatternBytes(400000);
    std::string data = dir.Write("data.bin", bytes);
    struct Row {
        std::vector<std::string> args;
        size_t offset, count;  // what md5sum must digest for the same answer
    };
    const Row rows[] = {
        {{"--start", "100", "--checksum"}, 100, 163840},
        {{}, 0, 163840},
        {{"--count", "1000"}, 0, 1000},
        {{"--start", "5000", "--count", "10", "--checksum"}, 5000, 10},
        {{"--start", "100", "--count", "163940"}, 100, 163940},
        {{"--start", "399990", "--count", "100"}, 399990, 10},
        {{"--start", "100", "--end", "500000"}, 100, 163940},
        {{"--start", "100", "--end", "500000", "--checksum"}, 100, 163840},
        {{"--start", "100", "--end", "50"}, 100, 50},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args = {"md5", data};
        args.insert(args.end(), row.args.begin(), row.args.end());
        CommandResult result = Lytag(args);
        EXPECT_EQ(result.out, Md5sum(bytes, row.offset, row.count) + "  " + data + "\n")
            << testing::PrintToString(row.args) << result.err;
    }
}

TEST(LytagTest, ShowAsJsonAndText) {
    TempDir dir;
    std::string text = dir.Write("caf\xC3\xA9.txt", std::string("0123456789"));
    std::string wav = dir.Write("tone.wav", MakeWavTone(3.0));
    std::string mp3 = dir.Write("song.mp3", MakeMp3Sample());
    OggSampleSpec layout;
    layout.comments = {"TITLE=Song", "REPLAYGAIN_TRACK_GAIN=-3 dB", "ENCODER=first",
                       "ENCODER=second", "no name"};
    OggBytes bytes = MakeOggVorbis(layout);
    std::string ogg = dir.Write("song.ogg", std::string(bytes.begin(), bytes.end()));
    CommandResult result = Lytag({"show", "--json", wav, text, ogg, mp3});
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<nlohmann::json> objects;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 4u);
    EXPECT_EQ(objects[0]["information"]["5"], "3");  // the engine's length, from TagLib
    EXPECT_EQ(objects[0]["information"]["length_seconds"], 3);
    EXPECT_EQ(objects[0]["descriptions"].size(), 10u);
    EXPECT_EQ(objects[1]["descriptions"][0], "caf\xC3\xA9");
    EXPECT_EQ(objects[1]["audioRange"]["length"], 10);
    EXPECT_EQ(objects[1]["md5"], Md5sum(ReadBytes(text)));
    EXPECT_EQ(objects[2]["fields"]["title"], "Song");
    EXPECT_EQ(objects[2]["comments"],
              nlohmann::json({{"REPLAYGAIN_TRACK_GAIN", "-3 dB"}, {"ENCODER", "first"}}));
    EXPECT_EQ(objects[2]["information"]["sample_rate_hz"], 22050);
    // In an MP3 the shown field is ID3v2's, and each tag's own value is there too.
    nlohmann::json mp3Fields = objects[3]["fields"];
    EXPECT_EQ(mp3Fields["comment"], "lytag demo");  // only ID3v1 holds it
    EXPECT_EQ(mp3Fields["track"], "1/3");
    EXPECT_EQ(mp3Fields["track:v1"], "1");
    EXPECT_EQ(mp3Fields["track:v2"], "1/3");
    EXPECT_EQ(objects[3]["information"]["bitrate_kbps"], 128);
    EXPECT_EQ(objects[3]["information"]["vbr_header"], false);
    std::string plain = Lytag({"show", ogg}).out;
    // each other name once, the first value kept
    const std::string others = "  REPLAYGAIN_TRACK_GAIN=-3 dB\n    ENCODER=first\n  descriptions";
    EXPECT_NE(plain.find("other comments:\n  " + others), std::string::npos) << plain;
}

TEST(LytagTest, HelpAndManPageNameTheSameOptions) {
    std::ifstream in(LY_MAN_PAGE);
    std::string man((std::istreambuf_iterator<char>(in)), {});
    man = std::regex_replace(man, std::regex(R"(\\-)"), "-");
    ASSERT_FALSE(man.empty());
    std::set<std::string> inHelp = LongOptions(Lytag({"--help"}).out);
    for (const char* command : {"show", "set", "picture", "md5", "cd", "scan", "demo"}) {
        CommandResult help = Lytag({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        for (const auto& option : LongOptions(help.out)) {
            inHelp.insert(option);
            EXPECT_NE(man.find(option), std::string::npos)
                << command << " " << option << " is not in the man page";
        }
    }
    for (const auto& option : LongOptions(man)) {
        EXPECT_TRUE(inHelp.count(option)) << option << " is in the man page but in no --help";
    }
}

TEST(LytagTest, DemoShowsAcceptedAndRefusedSamples) {
    CommandResult result = Lytag({"demo"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("tone.wav"), std::string::npos);
    EXPECT_NE(result.out.find("refused: not an audio file lyParser reads"), std::string::npos);
    EXPECT_NE(result.out.find("  2. Quiet, Please (0:03)\n"), std::string::npos);  // the CD
}

}  // namespace
