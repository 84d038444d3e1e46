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
#include <tuple>

#include "lyParser.h"
#include "tests/support/ogg_fixtures.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/lytag_run.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wav_sample.h"

namespace {

std::set<std::string> LongOptions(const std::string& text) {
    std::set<std::string> options;
    std::regex option("--[a-z][a-z0-9-]*");
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it)
        options.insert(it->str());
    return options;
}

TEST(LytagTest, ExitStatusesRefusalsWithTheirReasonsAndDigests) {
    TempDir dir;
    const std::string text = dir.Write("caf\xC3\xA9.txt", std::string("0123456789"));
    // Each a usage error: exit status 2 and a message.
    const std::vector<std::string> usageErrors[] = {
        {},
        {"frobnicate"},
        {"picture", text},
        {"show", "--bogus", text},
        {"md5", text, "--start", "x"},
        {"md5", text, "--count", "1", "--end", "2"},
        {"md5", text, "--start", "100", "--count", "163941"},
        {"set", text, "--field", "nosuch=1"},
        {"set", text, "--field"},
        {"set", text, "--field", "title:v3=x"},
        {"set", text, "--id3v1", "maybe"},
        {"set", text, "--remove-picture=bogus"},
        {"picture", text, "-o", "x", "--type", "bogus"}};
    for (const auto& args : usageErrors) {
        CommandResult result = Lytag(args);
        EXPECT_EQ(result.status, 2) << testing::PrintToString(args) << "\n" << result.err;
        EXPECT_NE(result.err.find("lytag"), std::string::npos) << result.err;
    }
    EXPECT_EQ(Lytag({"--version"}).out, std::string("lytag ") + LYPARSER_VERSION_STRING + "\n");

    const std::string archive = dir.Write("pack.zip", std::string("PK"));
    const std::string words = dir.Write("words.mp3", std::string("hello world\n"));
    CommandResult result =
        Lytag({"show", archive, text, dir.File("missing.txt"), dir.path(), words});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "lytag: " + archive + ": not an audio file lyParser reads\nlytag: " +
                              dir.File("missing.txt") + ": No such file or directory\nlytag: " +
                              dir.path() + ": Is a directory\nlytag: " + words +
                              ": not an audio file lyParser reads: no MPEG audio frame in it\n");
    EXPECT_NE(
        result.out.find("caf\xC3\xA9.txt\n  type: 0 (unknown)\n  fields: no tags lyParser reads"),
        std::string::npos)
        << result.out;

    // A listing cut short by a full disk is a failure, not a success.
    result =
        RunCommand({"/bin/sh", "-c", "exec \"$0\" show \"$1\" > /dev/full", LY_LYTAG_PATH, text});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "lytag: standard output: No space left on device\n");

    // Without --count or --end the module's own range; --count and --end reach
    // it as its end value; --checksum asks the export that caps the count.
    // Options, then the offset and count md5sum must digest for the same answer.
    const Bytes bytes = PatternBytes(400000);
    const std::string data = dir.Write("data.bin", bytes);
    const std::tuple<std::vector<std::string>, size_t, size_t> digests[] = {
        {{}, 0, 163840},
        {{"--start", "5000", "--count", "10"}, 5000, 10},
        {{"--start", "100", "--count", "163940"}, 100, 163940},
        {{"--start", "100", "--end", "500000"}, 100, 163940},
        {{"--start", "100", "--end", "500000", "--checksum"}, 100, 163840}};
    for (const auto& [options, offset, count] : digests) {
        std::vector<std::string> args = {"md5", data};
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(Lytag(args).out, Md5sum(bytes, offset, count) + "  " + data + "\n")
            << testing::PrintToString(options);
    }
}

TEST(LytagTest, ShowAsJsonAndText) {
    TempDir dir;
    const std::string text = dir.Write("caf\xC3\xA9.txt", std::string("0123456789"));
    const std::string wav = dir.Write("tone.wav", MakeWavTone(3.0));
    const std::string mp3 = dir.Write("song.mp3", MakeMp3Sample());
    const std::string latin1 = dir.Write("caf\xE9.wav", MakeWavTone(1.0));
    OggSampleLayout layout;
    layout.comments = {"TITLE=Song", "REPLAYGAIN_TRACK_GAIN=-3 dB", "ENCODER=first",
                       "ENCODER=second", "no name"};
    const std::string ogg = dir.Write("song.ogg", MakeOggVorbis(layout));
    OpusSampleLayout opus;
    opus.comments = {PictureComment(3, "image/png", PatternBytes(300)), "ENCODER=x"};
    const std::string opusFile = dir.Write("song.opus", MakeOggOpus(opus));
    CommandResult result = Lytag({"show", "--json", wav, text, ogg, mp3, latin1, opusFile});
    ASSERT_EQ(result.status, 0) << result.err;
    const nlohmann::json all = JsonLines(result.out);
    ASSERT_EQ(all.size(), 6u);
    // A name that is not UTF-8 is kept, byte for byte, in hexadecimal.
    std::string hex;
    for (unsigned char c : latin1)
        hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    EXPECT_EQ(all[4]["file_bytes"], hex);
    EXPECT_FALSE(all[1].contains("file_bytes"));
    // Of the WAV the length, under its number and its name; of
    // an MP3 the shown field is ID3v2's and each tag's own value is there too (only
    // ID3v1 holds the comment). An Opus picture is a field, not a comment.
    std::istringstream wanted(
        "/0/information/5 /0/information/length_seconds /1/descriptions/0 /1/audioRange/length "
        "/2/fields/title /2/information/sample_rate_hz /2/comments /3/fields/comment "
        "/3/fields/track /3/fields/track:v1 /3/fields/track:v2 /3/information/bitrate_kbps "
        "/3/information/vbr_header /5/fields/picture-size /5/comments");
    std::string picked;
    for (std::string at; wanted >> at;) picked += all.at(nlohmann::json::json_pointer(at)).dump();
    EXPECT_EQ(
        picked,
        R"("3"3"café"10"Song"22050{"ENCODER":"first; second","REPLAYGAIN_TRACK_GAIN":"-3 dB"})"
        R"("lytag demo""1/3""1""1/3"128false"300"{"ENCODER":"x"})");
    EXPECT_EQ(all[0]["descriptions"].size(), 10u);
    EXPECT_EQ(all[1]["md5"], Md5sum(ReadBytes(text)));
    // each other name once, with all its values
    const std::string others =
        "  REPLAYGAIN_TRACK_GAIN=-3 dB\n    ENCODER=first; second\n  descriptions";
    const std::string oggText = Lytag({"show", ogg}).out;
    EXPECT_NE(oggText.find("other comments:\n  " + others), std::string::npos);
    // The range in the same words as for other formats: where the audio ends.
    EXPECT_NE(oggText.find("audio range: start " + all[2]["audioRange"]["start"].dump() + ", end " +
                           std::to_string(ReadBytes(ogg).size())),
              std::string::npos);
    // Technical texts by name, with their units.
    EXPECT_NE(Lytag({"show", mp3}).out.find("\n    bit rate: 128 kbit/s\n"), std::string::npos);
}

TEST(LytagTest, HelpAndManPageNameTheSameOptions) {
    std::ifstream in(LY_MAN_PAGE);
    const std::string man((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(man.empty());
    std::set<std::string> inHelp = LongOptions(Lytag({"--help"}).out);
    for (const char* command : {"show", "set", "picture", "md5", "cd", "scan", "demo", "repair"}) {
        CommandResult help = Lytag({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        for (const auto& option : LongOptions(help.out)) inHelp.insert(option);
    }
    EXPECT_EQ(inHelp, LongOptions(std::regex_replace(man, std::regex(R"(\\-)"), "-")));
}

// Option names are matched whole: every shorter spelling of an option of
// lytag set is bad usage, and the file stays as it was. Every command's
// options are parsed alike (ParseCommandLine).
TEST(LytagTest, AbbreviatedOptionsAreUnknownAndTouchNoFile) {
    TempDir dir;
    const std::string mp3 = dir.Write("song.mp3", MakeMp3Sample());
    const Bytes before = ReadBytes(mp3);
    size_t tried = 0;
    const std::set<std::string> options = LongOptions(Lytag({"set", "--help"}).out);
    for (const auto& option : options) {
        for (size_t length = 3; length < option.size(); ++length) {
            const std::string prefix = option.substr(0, length);
            if (options.count(prefix)) continue;  // itself an option (--remove)
            CommandResult result = Lytag({"set", mp3, prefix, "title"});
            EXPECT_EQ(result.status, 2) << prefix;
            EXPECT_NE(result.err.find("unknown option '" + prefix + "'"), std::string::npos)
                << result.err;
            ++tried;
        }
    }
    EXPECT_GT(tried, 50u);
    EXPECT_TRUE(ReadBytes(mp3) == before);
}

TEST(LytagTest, DemoShowsAcceptedAndRefusedSamples) {
    CommandResult result = Lytag({"demo"});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char* type :
         {"1 (MP3)", "2 (Ogg Vorbis)", "3 (WMA)", "6 (FLAC)", "8 (MP4)", "9 (WAV)", "12 (Opus)"})
        EXPECT_NE(result.out.find(std::string("  type: ") + type + "\n"), std::string::npos)
            << type;
    EXPECT_NE(result.out.find("refused: not an audio file lyParser reads"), std::string::npos);
    EXPECT_NE(result.out.find("  2. Quiet, Please (0:03)\n"), std::string::npos);  // the CD
}

}  // namespace
