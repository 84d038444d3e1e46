// lytag show --all and set on real files, read back with mutagen: show lists
// what mutagen reads; the field, frame, comment, atom, item or picture named
// changes or goes, every other one keeps its value, and a change the module
// cannot make (or a file it would not write) is refused with its reason,
// exit status 1 and the file byte for byte as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <nlohmann/json.hpp>
#include <tuple>

#include "tests/support/ogg_fixtures.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/lytag_run.h"
#include "tests/tools/mutagen_listing.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wma_sample.h"

namespace {

// Real files of every format from TagLib's and mutagen's test data.
const char* const kDataFiles[] = {"silence-44-s.flac",
                                  "has-tags.m4a",
                                  "alac.m4a",
                                  "silence-2s-PCM-16000-08-ID3v23.wav",
                                  "with-id3.aif",
                                  "silence-44-s.wv",
                                  "click.mpc",
                                  "mac-399-id3v2.ape",
                                  "taglib-test.ogg",
                                  "taglib-correctness_gain_silent_output.opus",
                                  "taglib-real_example.wma"};

// lytag show --all --json of one file in the shape of MutagenListing("show").
nlohmann::json ShownListing(const nlohmann::json& shown) {
    const std::string file = shown["file"];
    const std::string ext = file.substr(file.rfind('.') + 1);
    nlohmann::json out = nlohmann::json::object();
    auto add = [&out](const std::string& key, const std::string& value) {
        std::string numbered = key;
        for (int n = 2; out.contains(numbered); ++n) numbered = key + "#" + std::to_string(n);
        out[numbered] = value;
    };
    for (const auto& item : shown["items"]) {
        std::string key = item["key"];
        if (ext == "ogg" || ext == "opus" || ext == "wma")
            for (char& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        add(key, item.contains("text") ? item["text"].get<std::string>() : "(binary)");
    }
    for (const auto& picture : shown["pictures"]) {
        add("picture:" + (picture["type"].is_null() ? "-" : picture["type"].dump()),
            picture["mimeType"].get<std::string>() + " " + picture["bytes"].dump() + " " +
                picture["description"].get<std::string>());
    }
    if (ext == "mp3" || ext == "wav" || ext == "aif")
        return out.empty() ? out : nlohmann::json{{"v2", out}};
    return out;
}

// Frames of silence, an ID3v2.4 tag with frames lyParser has no field for
// and an ID3v1 tag that agrees with the ID3v2 tag.
const char kMakeMp3[] = R"(
import sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TDRC, TCON, TRCK, COMM, TXXX, APIC, PRIV
path = sys.argv[1]
open(path, 'wb').write((b'\xff\xfb\x90\x00' + bytes(413)) * 40)
t = ID3()
for frame in (TIT2(encoding=3, text='Old Title'), TPE1(encoding=3, text='Old Artist'),
              PRIV(owner='WM/Provider', data=b'\x00\x01\x02'),
              TALB(encoding=3, text='Old Album'), TDRC(encoding=3, text='2001'),
              TCON(encoding=3, text='Rock'), TRCK(encoding=3, text='3/12'),
              COMM(encoding=3, lang='eng', desc='', text='plain words'),
              COMM(encoding=3, lang='eng', desc='note', text='described words'),
              TXXX(encoding=3, desc='MOOD', text='calm'),
              APIC(encoding=3, mime='image/png', type=3, desc='cover',
                   data=b'\x89PNG\r\n\x1a\n' + bytes(92))):
    t.add(frame)
t.save(path, v1=0, v2_version=4)
field = lambda text, size: text.encode('latin-1').ljust(size, b'\0')
v1 = b'TAG' + field('Old Title', 30) + field('Old Artist', 30) + field('Old Album', 30) + b'2001'
open(path, 'ab').write(v1 + field('plain words', 28) + bytes([0, 3, 17]))
)";

class LytagSetTest : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing: install it to check";
        mp3_ = dir_.File("fixture.mp3");
        ASSERT_EQ(RunPython(kMakeMp3, {mp3_}).status, 0);
        ogg_ = dir_.Write("fixture.ogg", MakeOggSample());
        // Pictures as taggers add them: a described back cover, then the front cover.
        Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}, jpeg = {0xff, 0xd8, 0xff, 0xe0};
        png.resize(58);
        jpeg.resize(24);
        OpusSampleLayout opus;
        opus.comments = {"TITLE=Night Tone", PictureComment(4, "image/png", png, "Back"),
                         PictureComment(3, "image/jpeg", jpeg)};
        opus_ = dir_.Write("fixture.opus", MakeOggOpus(opus));
        wma_ = dir_.Write("fixture.wma", MakeWmaSample());
        gif_ = dir_.Write("cover.gif", std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14));
        for (const char* name : kDataFiles)
            data_[name] = dir_.Write(name, ReadBytes(std::string(LY_TEST_DATA) + "/" + name));
        text_ = dir_.Write("notes.txt", std::string("not a picture\n"));
    }

    // lytag in the test's folder with `args` then `more`.
    CommandResult Lytag(std::vector<std::string> args, const std::vector<std::string>& more = {},
                        bool asNobody = false) {
        args.insert(args.end(), more.begin(), more.end());
        return ::Lytag(args, dir_.path(), asNobody);
    }

    static nlohmann::json Dump(const std::string& path) { return MutagenListing({path})[path]; }

    TempDir dir_;
    std::string mp3_, ogg_, opus_, wma_, gif_, text_;
    std::map<std::string, std::string> data_;  // by name: copies of kDataFiles
};

// show --all lists every item and picture mutagen reads, in every format.
TEST_F(LytagSetTest, ShowAllListsWhatMutagenReads) {
    std::vector<std::string> files = {mp3_, ogg_, opus_, wma_};
    for (const auto& [name, path] : data_) files.push_back(path);
    const nlohmann::json expected = MutagenListing(files, true);
    CommandResult result = Lytag({"show", "--all", "--json"}, files);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<nlohmann::json> shown = JsonLines(result.out);
    for (const nlohmann::json& file : shown)
        EXPECT_EQ(ShownListing(file), expected[file["file"].get<std::string>()]) << file;
    EXPECT_EQ(shown.size(), files.size());
}

// Each row's `set` runs on a copy of its file, which must then read back as
// the file with the row's changes (a JSON merge patch) and nothing else.
TEST_F(LytagSetTest, SetChangesWhatIsNamedAndKeepsEveryOtherItemAndPicture) {
    const std::string words = dir_.Write("words.txt", std::string("la la\nla"));
    const std::string back = "back=" + gif_;
    const std::tuple<std::string, std::vector<std::string>, std::string> rows[] = {
        {mp3_, {"--field", "title=New"}, R"({"v2":{"TIT2":"New"},"v1":{"TIT2":"New"}})"},
        {mp3_,
         {"--field", "TITLE:V2=Only two", "--field", "artist:v1=Solo"},
         R"({"v2":{"TIT2":"Only two"},"v1":{"TPE1":"Solo"}})"},
        {mp3_,
         {"--field", "album=", "--field", "comment=New words", "--field", "composer=Bach"},
         R"({"v2":{"TALB":null,"COMM::eng":"New words","TCOM":"Bach"},"v1":{"TALB":null,"COMM":"New words"}})"},
        // The described comment is the comment now, and ID3v1 takes it from there.
        {mp3_,
         {"--remove", "comment"},
         R"({"v2":{"COMM::eng":null},"v1":{"COMM":"described words"}})"},
        {mp3_,
         {"--remove", "txxx:mood", "--remove", "PRIV:WM/Provider", "--item", "COMM:note:eng=New"},
         R"({"v2":{"TXXX:MOOD":null,"PRIV:WM/Provider":null,"COMM:note:eng":"New"}})"},
        {mp3_, {"--picture", gif_}, R"({"v2":{"picture:3":"image/gif 14 "}})"},
        {mp3_,
         {"--picture", back, "--remove-picture", "front"},
         R"({"v2":{"picture:3":null,"picture:4":"image/gif 14 "}})"},
        {mp3_, {"--remove-picture"}, R"({"v2":{"picture:3":null}})"},
        {mp3_, {"--id3v1", "N"}, R"({"v1":null})"},
        {mp3_, {"--id3v2", "N", "--field", "title=One"}, R"({"v2":null,"v1":{"TIT2":"One"}})"},
        {mp3_, {"--lyrics", words}, R"({"v2":{"USLT::XXX":"la la\nla"}})"},
        {ogg_, {"--field", "title=Café🎵"}, R"({"TITLE":"Café🎵"})"},
        {ogg_,
         {"--comment", "Title=Named", "--comment", "comment=Words", "--field", "composer=Bach",
          "--remove", "encoder", "--field", "album="},
         R"({"TITLE":"Named","COMMENT":"Words","COMPOSER":"Bach","ENCODER":null,"ALBUM":null})"},
        // A picture set by type keeps its place and description; every other stays.
        {opus_,
         {"--picture", gif_, "--picture", back, "--picture", "artist=" + gif_},
         R"({"picture:3":"image/gif 14 ","picture:4":"image/gif 14 Back","picture:8":"image/gif 14 "})"},
        {opus_, {"--remove-picture", "back"}, R"({"picture:4":null})"},
        {wma_,
         {"--field", "artist=", "--field", "disc=1/2", "--attribute", "WM/Mood=Sad", "--remove",
          "wm/composer"},
         R"({"AUTHOR":null,"WM/PARTOFSET":"1/2","WM/MOOD":"Sad","WM/COMPOSER":null})"},
        {data_["silence-44-s.flac"],
         {"--comment", "REPLAYGAIN_TRACK_GAIN=-3 dB", "--remove", "GENRE", "--picture", back},
         R"({"REPLAYGAIN_TRACK_GAIN":"-3 dB","genre":null,"picture:4":"image/gif 14 "})"},
        {data_["has-tags.m4a"],
         {"--item", "©too=lyParser", "--remove", "----:com.apple.iTunes:iTunNORM", "--picture",
          gif_},
         R"({"©too":"lyParser","----:com.apple.iTunes:iTunNORM":null,"picture:-":"image/gif 14 "})"},
        {data_["silence-2s-PCM-16000-08-ID3v23.wav"],
         {"--item", "TXXX:MOOD=calm", "--remove-picture"},
         R"({"v2":{"TXXX:MOOD":"calm","picture:3":null,"version":"2.4"}})"},
        {data_["with-id3.aif"],
         {"--field", "comment=Note", "--picture", "artist=" + gif_},
         R"({"v2":{"COMM::XXX":"Note","picture:8":"image/gif 14 "}})"},
        {data_["silence-44-s.wv"],
         {"--remove", "replaygain_album_gain", "--picture", gif_},
         R"({"Replaygain_Album_Gain":null,"picture:3":"image/gif 14 "})"},
        {data_["click.mpc"], {"--item", "Grouping=Jazz"}, R"({"Grouping":"Jazz"})"},
    };
    std::map<std::string, nlohmann::json> before;
    for (const auto& [file, options, changes] : rows) {
        if (!before.count(file)) before[file] = Dump(file);
        const std::string copy = dir_.Write("copy" + file.substr(file.rfind('.')), ReadBytes(file));
        CommandResult result = Lytag({"set", copy}, options);
        EXPECT_EQ(result.status, 0) << testing::PrintToString(options) << result.err;
        nlohmann::json expected = before[file];
        expected.merge_patch(nlohmann::json::parse(changes));
        EXPECT_EQ(Dump(copy), expected) << testing::PrintToString(options) << "\n" << result.out;
    }
}

TEST_F(LytagSetTest, RefusalsNameTheFileAndTheReasonAndLeaveItUntouched) {
    // Text in front of an ID3v1 tag: a file named .mp3 with no audio in it.
    Bytes text(3000, 'x'), tag = MakeId3v1Tag("t", "a", "b", "2000", "c", 1, 1);
    text.insert(text.end(), tag.begin(), tag.end());
    const std::string noAudio = dir_.Write("readme.mp3", text);
    const std::string notAudio = "not an audio file lyParser reads";
    // As an ordinary user, whom a read-only file refuses (root it does not).
    const std::string readOnly = dir_.Write("read-only.mp3", ReadBytes(mp3_));
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(noAudio.c_str(), 0666), 0);
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    // file, arguments, what follows "lytag: FILE: " (or "lytag: " when it is a path)
    const std::tuple<std::string, std::vector<std::string>, std::string> rows[] = {
        {noAudio, {"--field", "title=x"}, notAudio + ": no MPEG audio frame in it"},
        {text_, {"--field", "title=x"}, notAudio},
        {readOnly, {"--field", "title=x"}, "Permission denied"},
        {ogg_, {"--field", "title:v1=x"}, "title: v1 and v2 name the tags of an MP3"},
        {wma_, {"--field", "url=x"}, "a Windows Media file has no url field"},
        {wma_, {"--remove-picture"}, "lyParser writes no pictures into this kind of file"},
        {ogg_, {"--picture", "back=" + gif_}, "lyParser writes no pictures into this kind of file"},
        {data_["has-tags.m4a"], {"--picture", "back=" + gif_}, "MP4 pictures have no types"},
        {mp3_, {"--item", "PRIV:WM/Provider=x"}, "PRIV:WM/Provider: holds data that is not text"},
        {mp3_, {"--field", "title:v2="}, "title:v2: the save would copy it back from ID3v1"},
        {mp3_, {"--field", "track=none"}, "track:v2: an MP3 keeps only a value that starts"},
        {mp3_, {"--id3v2", "N", "--field", "composer=x"}, "composer lives in the ID3v2 tag"},
        {mp3_, {"--picture", text_}, text_ + ": not a JPEG, PNG or GIF image"},
        {mp3_, {"--picture", dir_.File("none.png")}, dir_.File("none.png") + ": No such file"},
    };
    for (const auto& [file, options, reason] : rows) {
        const Bytes before = ReadBytes(file);
        CommandResult result = Lytag({"set", file}, options, geteuid() == 0);
        EXPECT_EQ(result.status, 1) << testing::PrintToString(options) << result.err;
        EXPECT_NE(result.err.find("lytag: " + (reason[0] == '/' ? "" : file + ": ") + reason),
                  std::string::npos)
            << testing::PrintToString(options) << result.err;
        EXPECT_EQ(result.out.find(": saved"), std::string::npos) << result.out;
        EXPECT_EQ(ReadBytes(file), before) << testing::PrintToString(options);
    }
}

TEST_F(LytagSetTest, DryRunQuietPreserveMtimeAndTheEndOfOptions) {
    const Bytes before = ReadBytes(mp3_);
    CommandResult result = Lytag({"set", "--dry-run", mp3_, "--field", "title=New"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, mp3_ + ": title:v2: \"Old Title\" -> \"New\"\n" + mp3_ +
                              ": title:v1: \"Old Title\" -> \"New\"\n" + mp3_ +
                              ": not saved (dry run)\n");
    EXPECT_EQ(ReadBytes(mp3_), before);

    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    struct stat info = {};
    ASSERT_EQ(utimensat(AT_FDCWD, ogg_.c_str(), old, 0), 0);
    result = Lytag({"set", "-q", "--preserve-mtime", ogg_, "--field", "title=Kept time"});
    EXPECT_EQ(std::to_string(result.status) + result.out + result.err, "0");  // quiet
    EXPECT_EQ(Dump(ogg_)["TITLE"], "Kept time");
    EXPECT_EQ(stat(ogg_.c_str(), &info) == 0 ? info.st_mtime : 0, 1000000000);

    dir_.Write("-dash.wma", ReadBytes(wma_));
    EXPECT_EQ(Lytag({"set", "--field", "title=Dash", "-dash.wma"}).status, 2);  // an unknown option
    result = Lytag({"set", "--field", "title=Dash", "--", "-dash.wma"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Dump(dir_.File("-dash.wma"))["TITLE"], "Dash");
}

// The front cover, else the first picture, or the picture of a type.
TEST_F(LytagSetTest, PictureIsWrittenWithTheExtensionItsContentCallsFor) {
    ASSERT_EQ(Lytag({"set", mp3_, "--picture", "back=" + gif_}).status, 0);
    CommandResult result = Lytag({"picture", mp3_, "-o", dir_.File("cover.jpg")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, dir_.File("cover.png") + ": 100 bytes, PNG\n");
    Bytes png = ReadBytes(dir_.File("cover.png"));
    EXPECT_EQ(std::string(png.begin(), png.begin() + 4), "\x89PNG");
    EXPECT_EQ(png.size(), 100u);
    EXPECT_EQ(Lytag({"picture", mp3_, "--type", "BACK", "-o", dir_.File("art")}).out,
              dir_.File("art.gif") + ": 14 bytes, GIF\n");
    EXPECT_EQ(Lytag({"picture", opus_, "--type", "back", "-o", dir_.File("opus")}).out,
              dir_.File("opus.png") + ": 58 bytes, PNG\n");
    result = Lytag({"picture", ogg_, "-o", dir_.File("none")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "lytag: " + ogg_ + ": has no attached picture\n");
}

}  // namespace
