// lytag as a person and a script meet it: exit statuses, refusals, output
// forms, digests that agree with md5sum, and the demo.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wav_sample.h"

namespace {

CommandResult Lytag(std::vector<std::string> args) {
    args.insert(args.begin(), LY_LYTAG_PATH);
    return RunCommand(args);
}

TEST(LytagTest, ExitStatusesRefusalsDigestsAndShowAsJsonAndText) {
    TempDir dir;
    std::string text = dir.Write("caf\xC3\xA9.txt", std::string("0123456789"));
    // arguments, exit status
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{}, 2}, {{"--help"}, 0}, {{"frobnicate"}, 2}, {{"picture", text}, 2},
        {{"show", "--bogus", text}, 2}, {{"md5", text, "--start", "x"}, 2},
        {{"set", text, "--field", "nosuch=1"}, 2}};
    for (const auto& [args, status] : cases) {
        CommandResult result = Lytag(args);
        EXPECT_EQ(result.status, status) << testing::PrintToString(args) << "\n" << result.err;
        EXPECT_EQ(status == 2, result.err.find("lytag") != std::string::npos) << result.err;
    }
    std::string archive = dir.Write("pack.zip", std::string("PK"));
    CommandResult result = Lytag({"show", archive, text, dir.File("missing.txt")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "lytag: " + archive + ": not a readable file of a known kind\nlytag: " +
                              dir.File("missing.txt") + ": not a readable file of a known kind\n");
    EXPECT_NE(result.out.find("caf\xC3\xA9"), std::string::npos);

    std::string data = dir.Write("data.bin", PatternBytes(200000));
    result = Lytag({"md5", data, "--start", "100", "--checksum"});
    EXPECT_EQ(result.out, Md5sum(ReadBytes(data), 100, 163840) + "  " + data + "\n") << result.err;

    std::string wav = dir.Write("tone.wav", MakeWavTone(3.0));
    OggSampleSpec layout;
    layout.comments = {"TITLE=Song", "REPLAYGAIN_TRACK_GAIN=-3 dB", "ENCODER=first",
                       "ENCODER=second", "no name"};
    OggBytes bytes = MakeOggVorbis(layout);
    std::string ogg = dir.Write("song.ogg", std::string(bytes.begin(), bytes.end()));
    result = Lytag({"show", "--json", wav, text, ogg});
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<nlohmann::json> objects;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0]["information"]["5"], "3");  // the engine's length, from TagLib
    EXPECT_EQ(objects[0]["descriptions"].size(), 10u);
    EXPECT_EQ(objects[1]["descriptions"][0], "caf\xC3\xA9");
    EXPECT_EQ(objects[1]["audioRange"]["length"], 10);
    EXPECT_EQ(objects[1]["md5"], Md5sum(ReadBytes(text)));
    EXPECT_EQ(objects[2]["fields"]["title"], "Song");
    EXPECT_EQ(objects[2]["comments"],
              nlohmann::json({{"REPLAYGAIN_TRACK_GAIN", "-3 dB"}, {"ENCODER", "first"}}));
    std::string plain = Lytag({"show", ogg}).out;
    // each other name once, the first value kept
    const std::string others = "  REPLAYGAIN_TRACK_GAIN=-3 dB\n    ENCODER=first\n  descriptions";
    EXPECT_NE(plain.find("other comments:\n  " + others), std::string::npos) << plain;
}

TEST(LytagTest, DemoShowsAcceptedAndRefusedSamples) {
    CommandResult result = Lytag({"demo"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("tone.wav"), std::string::npos);
    EXPECT_NE(result.out.find("refused"), std::string::npos);
    EXPECT_NE(result.out.find("  2. Quiet, Please (0:03)\n"), std::string::npos);  // the CD
}

}  // namespace
