// lytag set on real files, read back with mutagen: the field named changes or
// goes, every other frame, item, comment and attribute keeps its value, and a
// change the module cannot make (or a file it would not write) is refused
// with its reason, exit status 1 and the file byte for byte as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <sstream>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wma_sample.h"

namespace {

using Tags = std::map<std::string, std::string>;
using Edits = std::map<std::string, std::optional<std::string>>;  // nullopt: the item is gone

// Every tag item of an MP3 (ID3v2 frames, ID3v1 fields, APE items), Ogg
// Vorbis file (comments, numbered per name) or WMA file (attributes), as
// "key<TAB>value" lines; empty values are left out.
const char kDump[] = R"(
import sys, mutagen, mutagen.id3, mutagen.apev2
sys.stdout.reconfigure(encoding='utf-8')
path = sys.argv[1]
def add(key, value):
    value = str(value)
    if value: print(key + '\t' + value.replace('\\', '\\\\').replace('\n', '\\n').replace('\t', '\\t'))
audio = mutagen.File(path)
if path.endswith('.mp3'):
    try:
        tag = mutagen.id3.ID3(path, load_v1=False)
        add('v2', tag.version)
        for f in tag.values():
            add('v2 ' + f.HashKey, '%s %d %d' % (f.mime, f.type, len(f.data)) if f.FrameID == 'APIC' else f)
    except mutagen.id3.ID3NoHeaderError: pass
    data = open(path, 'rb').read()
    if data[-128:-125] == b'TAG':
        v1 = data[-128:]
        for name, a, b in (('title', 3, 33), ('artist', 33, 63), ('album', 63, 93), ('year', 93, 97), ('comment', 97, 125)):
            add('v1 ' + name, v1[a:b].split(b'\0')[0].decode('latin-1'))
        add('v1 track', v1[126] if v1[125] == 0 else '')
        add('v1 genre', v1[127])
    try:
        for key, value in mutagen.apev2.APEv2(path).items(): add('ape ' + key, value)
    except mutagen.apev2.APENoHeaderError: pass
    add('audio', '%d %d' % (audio.info.bitrate, audio.info.sample_rate))
else:
    seen = {}
    for key, value in audio.tags:
        key = key if path.endswith('.wma') else key.upper()
        n = seen[key] = seen.get(key, -1) + 1
        if getattr(value, 'TYPE', 0): value = '%s:%s' % (type(value).__name__, value.value)
        add('%s#%d' % (key, n), value)
    add('audio', '%d %d' % (audio.info.sample_rate, audio.info.channels))
)";

// Frames of silence, an ID3v2.4 tag with frames lyParser has no field for,
// an APE tag and an ID3v1 tag that agrees with the ID3v2 tag.
const char kMakeMp3[] = R"(
import sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TDRC, TCON, TRCK, COMM, TXXX, APIC
from mutagen.apev2 import APEv2
path = sys.argv[1]
open(path, 'wb').write((b'\xff\xfb\x90\x00' + bytes(413)) * 40)
t = ID3()
for frame in (TIT2(encoding=3, text='Old Title'), TPE1(encoding=3, text='Old Artist'),
              TALB(encoding=3, text='Old Album'), TDRC(encoding=3, text='2001'),
              TCON(encoding=3, text='Rock'), TRCK(encoding=3, text='3/12'),
              COMM(encoding=3, lang='eng', desc='', text='plain words'),
              COMM(encoding=3, lang='eng', desc='note', text='described words'),
              TXXX(encoding=3, desc='MOOD', text='calm'),
              APIC(encoding=3, mime='image/png', type=3, desc='cover', data=b'\x89PNG\r\n\x1a\n' + bytes(92))):
    t.add(frame)
t.save(path, v1=0, v2_version=4)
ape = APEv2()
ape['REPLAYGAIN_TRACK_GAIN'] = '-3.2 dB'
ape.save(path)
field = lambda text, size: text.encode('latin-1').ljust(size, b'\0')
v1 = b'TAG' + field('Old Title', 30) + field('Old Artist', 30) + field('Old Album', 30) + b'2001'
open(path, 'ab').write(v1 + field('plain words', 28) + bytes([0, 3, 17]))
)";

constexpr char kNoMutagen[] =
    "python3-mutagen is missing: install it to check with an independent reader";

class LytagSetTest : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveMutagen()) GTEST_SKIP() << kNoMutagen;
        mp3_ = dir_.File("fixture.mp3");
        ASSERT_EQ(RunPython(kMakeMp3, {mp3_}).status, 0);
        OggSampleSpec layout;
        layout.comments = {"TITLE=Song",    "ARTIST=Band",    "REPLAYGAIN_TRACK_GAIN=-3 dB",
                           "ENCODER=first", "ENCODER=second", "COMMENT=old words"};
        ogg_ = dir_.Write("fixture.ogg", MakeOggVorbis(layout));
        asf::FileSpec wma;
        wma.hasContentDescription = true;
        wma.content = {u"Morning", u"Players", u"(c) them", u"about it", u""};
        wma.attributes = {asf::Attribute::Text(u"WM/AlbumTitle", u"Fixtures"),
                          asf::Attribute::Text(u"WM/Genre", u"Ambient"),
                          asf::Attribute::Dword(u"WM/TrackNumber", 4),
                          asf::Attribute::Text(u"WM/Publisher", u"Label", asf::Place::kMetadata),
                          asf::Attribute::Text(u"WM/Mood", u"Calm", asf::Place::kMetadataLibrary)};
        wma_ = dir_.Write("fixture.wma", asf::MakeFile(wma));
        gif_ = dir_.Write("cover.gif", std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14));
        text_ = dir_.Write("notes.txt", std::string("not a picture\n"));
    }

    // lytag in a UTF-8 locale, so that narrow text means the same to every format.
    CommandResult Lytag(std::vector<std::string> args) {
        args.insert(args.begin(), {"/usr/bin/env", "LC_ALL=C.UTF-8", LY_LYTAG_PATH});
        return RunCommand(args);
    }

    Tags Dump(const std::string& path) {
        CommandResult result = RunPython(kDump, {path});
        EXPECT_EQ(result.status, 0) << result.err;
        Tags tags;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);) {
            size_t tab = line.find('\t');
            tags[line.substr(0, tab)] = line.substr(tab + 1);
        }
        return tags;
    }

    // Runs each row's `set` on a copy of `fixture`: the copy must read back as
    // the fixture with the row's edits and nothing else.
    void ExpectOnlyTheEdits(const std::string& fixture,
                            const std::vector<std::pair<std::vector<std::string>, Edits>>& rows) {
        const Tags before = Dump(fixture);
        ASSERT_GT(before.size(), 5u);
        for (const auto& [args, edits] : rows) {
            std::string copy =
                dir_.Write("copy" + fixture.substr(fixture.rfind('.')), ReadBytes(fixture));
            std::vector<std::string> command = {"set", copy};
            command.insert(command.end(), args.begin(), args.end());
            CommandResult result = Lytag(command);
            EXPECT_EQ(result.status, 0) << testing::PrintToString(args) << result.err;
            Tags expected = before;
            for (const auto& [key, value] : edits) {
                if (value)
                    expected[key] = *value;
                else
                    expected.erase(key);
            }
            EXPECT_EQ(Dump(copy), expected) << testing::PrintToString(args) << "\n" << result.out;
        }
    }

    TempDir dir_;
    std::string mp3_, ogg_, wma_, gif_, text_;
};

TEST_F(LytagSetTest, Mp3ChangesTheNamedFieldInBothTagsAndKeepsEveryOtherFrame) {
    std::string words = dir_.Write("words.txt", std::string("la la\nla"));
    ExpectOnlyTheEdits(
        mp3_,
        {
            {{"--field", "title=New"}, {{"v2 TIT2", "New"}, {"v1 title", "New"}}},
            {{"--field", "title:v2=Only two"}, {{"v2 TIT2", "Only two"}}},
            {{"--field", "artist:v1=Solo"}, {{"v1 artist", "Solo"}}},
            {{"--field", "album="}, {{"v2 TALB", std::nullopt}, {"v1 album", std::nullopt}}},
            {{"--field", "comment=New words", "--field", "composer=Bach"},
             {{"v2 COMM::eng", "New words"}, {"v1 comment", "New words"}, {"v2 TCOM", "Bach"}}},
            {{"--remove-picture"}, {{"v2 APIC:cover", std::nullopt}}},
            {{"--picture", gif_},
             {{"v2 APIC:cover", std::nullopt}, {"v2 APIC:", "image/jpeg 0 14"}}},
            {{"--id3v1", "N"},
             {{"v1 title", std::nullopt},
              {"v1 artist", std::nullopt},
              {"v1 album", std::nullopt},
              {"v1 year", std::nullopt},
              {"v1 comment", std::nullopt},
              {"v1 track", std::nullopt},
              {"v1 genre", std::nullopt}}},
            {{"--id3v2", "N", "--field", "title=Only one"},
             {{"v2", std::nullopt},
              {"v2 TIT2", std::nullopt},
              {"v2 TPE1", std::nullopt},
              {"v2 TALB", std::nullopt},
              {"v2 TDRC", std::nullopt},
              {"v2 TCON", std::nullopt},
              {"v2 TRCK", std::nullopt},
              {"v2 COMM::eng", std::nullopt},
              {"v2 COMM:note:eng", std::nullopt},
              {"v2 TXXX:MOOD", std::nullopt},
              {"v2 APIC:cover", std::nullopt},
              {"v1 title", "Only one"}}},
            {{"--lyrics", words}, {{"v2 USLT::   ", "la la\\nla"}}},
        });
}

TEST_F(LytagSetTest, OggAndWmaChangeTheNamedCommentOrAttributeAndKeepTheRest) {
    std::string words = dir_.Write("words.txt", std::string("la la\nla"));
    ExpectOnlyTheEdits(ogg_,
                       {
                           {{"--field", "title=Caf\xC3\xA9 \xF0\x9F\x8E\xB5"},
                            {{"TITLE#0", "Caf\xC3\xA9 \xF0\x9F\x8E\xB5"}}},
                           {{"--comment", "encoder=third"}, {{"ENCODER#0", "third"}}},
                           {{"--comment", "Title=By name", "--field", "composer=Bach"},
                            {{"TITLE#0", "By name"}, {"COMPOSER#0", "Bach"}}},
                           {{"--field", "comment=New words"}, {{"DESCRIPTION#0", "New words"}}},
                           {{"--lyrics", words}, {{"LYRICS#0", "la la\\nla"}}},
                       });
    ExpectOnlyTheEdits(wma_, {
                                 {{"--field", "title=Caf\xC3\xA9 \xE2\x98\x95"},
                                  {{"Title#0", "Caf\xC3\xA9 \xE2\x98\x95"}}},
                                 {{"--field", "artist=", "--field", "disc=1/2"},
                                  {{"Author#0", std::nullopt}, {"WM/PartOfSet#0", "1/2"}}},
                                 {{"--attribute", "WM/Mood=Sad", "--field", "album=Other"},
                                  {{"WM/Mood#0", "Sad"}, {"WM/AlbumTitle#0", "Other"}}},
                                 {{"--field", "track=7", "--field", "copyright="},
                                  {{"WM/Track#0", "7"}, {"Copyright#0", std::nullopt}}},
                             });
}

TEST_F(LytagSetTest, RefusalsNameTheFileAndTheReasonAndLeaveItUntouched) {
    // Text in front of an ID3v1 tag: a file named .mp3 with no audio in it.
    std::string noAudio = dir_.File("readme.mp3");
    Bytes text(3000, 'x');
    const Bytes id3v1 = MakeId3v1Tag("t", "a", "b", "2000", "c", 1, 1);
    text.insert(text.end(), id3v1.begin(), id3v1.end());
    WriteBytes(noAudio, text);
    std::string zip = dir_.Write("pack.zip", std::string("PK\x03\x04"));
    const std::string notAudio = "not an audio file lyParser reads";
    struct Row {
        std::string file;
        std::vector<std::string> args;
        std::string reason;  // after "lytag: FILE: "
    };
    const Row rows[] = {
        {dir_.File("missing.mp3"), {"--field", "title=x"}, "No such file or directory"},
        {dir_.path(), {"--field", "title=x"}, "Is a directory"},
        {noAudio, {"--field", "title=x"}, notAudio},
        {noAudio, {"--id3v1", "N"}, notAudio},
        {zip, {"--field", "title=x"}, notAudio},
        {text_, {"--field", "title=x"}, notAudio},
        {ogg_,
         {"--field", "genre=Jazz", "--field", "artist="},
         "artist: lyParser cannot remove a Vorbis comment"},
        {ogg_, {"--field", "title:v1=x"}, "title: v1 and v2 name the tags of an MP3"},
        {ogg_,
         {"--comment", "comment=x"},
         "comment: lyParser reads this comment as the comment field"},
        {wma_, {"--field", "url=x"}, "a Windows Media file has no url field"},
        {wma_, {"--remove-picture"}, "lyParser writes ID3 tags and pictures only into MP3 files"},
        {mp3_,
         {"--field", "genre=Jazz", "--field", "comment="},
         "comment:v2: lyParser cannot remove it alone"},
        {mp3_, {"--field", "title:v2="}, "title:v2: the save would copy it back from ID3v1"},
        {mp3_,
         {"--field", "track=none"},
         "track:v2: an MP3 keeps only a value that starts with a number"},
        {mp3_,
         {"--id3v2", "N", "--field", "composer=x"},
         "composer lives in the ID3v2 tag, which --id3v2 N removes"},
        {mp3_, {"--picture", text_}, ""},  // the picture is named instead of the file
        {mp3_, {"--picture", dir_.File("none.png")}, ""},
    };
    auto contents = [](const std::string& path) {  // nothing for a folder or a missing file
        struct stat info;
        return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? ReadBytes(path) : Bytes();
    };
    for (const auto& row : rows) {
        Bytes before = contents(row.file);
        std::vector<std::string> args = {"set", row.file};
        args.insert(args.end(), row.args.begin(), row.args.end());
        CommandResult result = Lytag(args);
        EXPECT_EQ(result.status, 1) << testing::PrintToString(row.args) << result.err;
        const std::string named = row.reason.empty() ? row.args[1] : row.file;
        std::string reason = row.reason.empty()
                                 ? (row.args[1] == text_ ? "not a JPEG, PNG or GIF image"
                                                         : "No such file or directory")
                                 : row.reason;
        EXPECT_NE(result.err.find("lytag: " + named + ": " + reason), std::string::npos)
            << testing::PrintToString(row.args) << result.err;
        EXPECT_EQ(result.out.find(": saved"), std::string::npos) << result.out;
        EXPECT_EQ(contents(row.file), before) << testing::PrintToString(row.args);
    }
}

TEST_F(LytagSetTest, ReadOnlyFileIsRefusedWithTheSystemsReason) {
    // As root every file is writable, so the refusal is seen as an ordinary user.
    std::vector<std::string> args = {"/usr/bin/env", "LC_ALL=C.UTF-8", LY_LYTAG_PATH, "set",
                                     mp3_,           "--field",        "title=x"};
    if (geteuid() == 0) {
        args.insert(args.begin(),
                    {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
        ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
    }
    ASSERT_EQ(chmod(mp3_.c_str(), 0444), 0);
    Bytes before = ReadBytes(mp3_);
    CommandResult result = RunCommand(args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "lytag: " + mp3_ + ": Permission denied\n");
    EXPECT_EQ(ReadBytes(mp3_), before);
}

TEST_F(LytagSetTest, DryRunQuietPreserveMtimeAndTheEndOfOptions) {
    CommandResult result = Lytag({"set", "--dry-run", mp3_, "--field", "title=New"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, mp3_ + ": title:v2: \"Old Title\" -> \"New\"\n" + mp3_ +
                              ": title:v1: \"Old Title\" -> \"New\"\n" + mp3_ +
                              ": not saved (dry run)\n");
    EXPECT_EQ(Dump(mp3_)["v2 TIT2"], "Old Title");

    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, ogg_.c_str(), old, 0), 0);
    result = Lytag({"set", "-q", "--preserve-mtime", ogg_, "--field", "title=Kept time"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    struct stat info;
    ASSERT_EQ(stat(ogg_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1000000000);
    EXPECT_EQ(Dump(ogg_)["TITLE#0"], "Kept time");
    ASSERT_EQ(utimensat(AT_FDCWD, ogg_.c_str(), old, 0), 0);
    ASSERT_EQ(Lytag({"set", ogg_, "--field", "title=New time"}).status, 0);
    ASSERT_EQ(stat(ogg_.c_str(), &info), 0);
    EXPECT_NE(info.st_mtime, 1000000000);

    dir_.Write("-dash.wma", ReadBytes(wma_));
    const std::vector<std::string> inDir = {"/usr/bin/env", "-C",  dir_.path(), "LC_ALL=C.UTF-8",
                                            LY_LYTAG_PATH,  "set", "--field",   "title=Dash"};
    std::vector<std::string> args = inDir;
    args.push_back("-dash.wma");
    EXPECT_EQ(RunCommand(args).status, 2);  // an option lytag does not know
    args.insert(args.end() - 1, "--");
    result = RunCommand(args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Dump(dir_.File("-dash.wma"))["Title#0"], "Dash");
}

TEST_F(LytagSetTest, PictureIsWrittenWithTheExtensionItsContentCallsFor) {
    CommandResult result = Lytag({"picture", mp3_, "-o", dir_.File("cover.jpg")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, dir_.File("cover.png") + ": 100 bytes, PNG\n");
    Bytes png = ReadBytes(dir_.File("cover.png"));
    EXPECT_EQ(std::string(png.begin(), png.begin() + 4), "\x89PNG");
    EXPECT_EQ(png.size(), 100u);
    ASSERT_EQ(Lytag({"set", mp3_, "--picture", gif_}).status, 0);
    EXPECT_EQ(Lytag({"picture", mp3_, "-o", dir_.File("art")}).out,
              dir_.File("art.gif") + ": 14 bytes, GIF\n");
    result = Lytag({"picture", ogg_, "-o", dir_.File("none")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "lytag: " + ogg_ + ": has no attached picture\n");
}

}  // namespace
