// On XFS and btrfs, which share blocks, and on an XFS made with reflink=0 and
// ext4, which do not. An MP3's tag grows (on a handle whose first save was
// refused), a change fits its padding (lytag), the tag grows in place (a
// second name); then a tag that grows in each other format (FLAC, M4A, WMA,
// WAV with its tag before the audio, Opus, Ogg Vorbis), again after a refusal,
// is compared with the same save in memory (tmpfs). Where blocks are shared
// the audio keeps its offset modulo the block size, behind less than a block
// more padding, and shares its extents with a reflinked copy of the original;
// elsewhere the file is what it would be anywhere. Mounts are made in a mount
// namespace of the test's own: they go whatever stops it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "lyParser.h"
#include "tests/support/large_files.h"
#include "tests/support/process.h"
#include "tools/samples/flac_sample.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wav_sample.h"

namespace {

struct FileSystem {
    const char* name;
    std::vector<std::string> mkfs;
    bool shares;
};

constexpr size_t kID3v1 = 128, kTagLibPadding = 1024, kBlock = 4096;
const char kReadTitle[] = "import sys, mutagen.id3\nprint(mutagen.id3.ID3(sys.argv[1])['TIT2'][0])";

CommandResult RunTool(std::vector<std::string> argv) {
    argv.insert(argv.begin(), {"/usr/bin/env", "PATH=/usr/sbin:/usr/bin:/sbin:/bin"});
    return RunCommand(argv);
}

size_t Synchsafe(const Bytes& file, size_t at) {
    return size_t{file[at]} << 21 | file[at + 1] << 14 | file[at + 2] << 7 | file[at + 3];
}

size_t TagEnd(const Bytes& file) { return 10 + Synchsafe(file, 6); }

// The zero bytes after the last frame of an ID3v2.4 tag.
size_t Padding(const Bytes& file) {
    size_t at = 10;
    while (at < TagEnd(file) && file[at] != 0) at += 10 + Synchsafe(file, at + 4);
    return TagEnd(file) - std::min(at, TagEnd(file));
}

// The bytes of `path` in extents shared with another file, as filefrag shows them.
int64_t SharedBytes(const std::string& path) {
    std::istringstream lines(RunTool({"filefrag", "-v", "-b1", path}).out);
    int64_t shared = 0, length = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("shared") == std::string::npos) continue;
        if (std::sscanf(line.c_str(), "%*d: %*d.. %*d: %*d.. %*d: %" SCNd64, &length) == 1)
            shared += length;
    }
    return shared;
}

// Saves `title` as the (ID3v2) title through the exports; with `refused`,
// first while another holds the file's save lock, then again on the same
// handle.
void SaveTitle(const std::string& path, const std::string& title, bool refused = true) {
    setenv("LYPARSER_SAVE_WAIT_MS", "10", 1);
    TagParserInitialize(nullptr);
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    const bool mp3 = path.substr(path.size() - 4) == ".mp3";
    if (mp3)
        for (int field : {FIELD_HAS_ID3V1, FIELD_HAS_ID3V2}) TagParserSetData(handle, field, "Y");
    TagParserSetData(handle, mp3 ? FIELD_TITLE2 : FIELD_TITLE, title.c_str());
    const int other = refused ? open(path.c_str(), O_RDWR) : -1;
    struct flock lock = {F_WRLCK, SEEK_SET, 0, 0, 0};
    if (refused) {
        EXPECT_EQ(fcntl(other, F_OFD_SETLK, &lock), 0);
        EXPECT_EQ(TagParserApplyFile(handle), 0);
        close(other);
    }
    EXPECT_EQ(TagParserApplyFile(handle), 1);
    TagParserCloseFile(handle);
    TagParserFinalize();
}

// A WAV file whose ID3v2 chunk comes before its sound.
Bytes MakeWavTaggedFirst() {
    Bytes wav = MakeWavTone(66.0), tag = MakeId3v23Tag({{"TIT2", "Wav"}});
    tag.resize(tag.size() + tag.size() % 2);
    Bytes chunk = {'I', 'D', '3', ' '};
    for (int i = 0; i < 4; ++i) chunk.push_back(static_cast<unsigned char>(tag.size() >> 8 * i));
    chunk.insert(chunk.end(), tag.begin(), tag.end());
    wav.insert(wav.begin() + 36, chunk.begin(), chunk.end());  // behind "fmt "
    const size_t riff = wav.size() - 8;
    for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<unsigned char>(riff >> 8 * i);
    return wav;
}

Bytes MakeLargeOpus() {
    OpusSampleLayout layout;
    layout.seconds = 26;
    layout.frameBytes = 800;
    layout.comments = {"TITLE=Opus"};
    return MakeOggOpus(layout);
}

// How many bytes `a` and `b` end with alike: at least the audio, where a save
// changed only what comes before it.
size_t CommonEnd(const Bytes& a, const Bytes& b) {
    size_t same = 0;
    while (same < a.size() && same < b.size() && a[a.size() - 1 - same] == b[b.size() - 1 - same])
        ++same;
    return same;
}

// Prints the title of each file as mutagen reads it: its length and first letter.
const char kReadTitles[] = R"(import sys, mutagen
def title(tags):
    for key in ('title', 'Title', '\xa9nam', 'TIT2'):
        try:
            if key in tags: return str(tags[key][0])
        except ValueError:  # a name Vorbis comments cannot have
            pass
for path in sys.argv[1:]:
    text = title(mutagen.File(path).tags)
    print(len(text), text[0])
)";

class SaveBlockSharingTest : public ::testing::TestWithParam<FileSystem> {
protected:
    void SetUp() override {
        static const bool isolated =
            geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        if (!isolated) GTEST_SKIP() << "no mount namespace of the test's own (needs root)";
        const std::string image = dir_.Write("fs.img", "");
        ASSERT_EQ(truncate(image.c_str(), 320 << 20), 0);  // mkfs.xfs wants 300 MB
        std::vector<std::string> mkfs = GetParam().mkfs;
        mkfs.push_back(image);
        const CommandResult made = RunTool(mkfs);
        if (made.status != 0) GTEST_SKIP() << mkfs[0] << " is missing or failed: " << made.err;
        ASSERT_EQ(mkdir((folder_ = dir_.File("mnt")).c_str(), 0755), 0);
        const CommandResult mounted = RunTool({"mount", "-o", "loop", image, folder_});
        if (mounted.status != 0) GTEST_SKIP() << "no loop mount: " << mounted.err;
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) RunTool({"umount", "-l", folder_});
        if (!memory_.empty()) RunTool({"umount", "-l", memory_});
    }
    // A folder in memory: saves there never share blocks nor pad for it.
    std::string InMemory() {
        memory_ = dir_.File("memory");
        EXPECT_EQ(mkdir(memory_.c_str(), 0755), 0);
        EXPECT_EQ(mount("tmpfs", memory_.c_str(), "tmpfs", 0, "size=64m"), 0);
        return memory_;
    }

    TempDir dir_;
    std::string folder_ = dir_.path();
    std::string memory_;
    bool mounted_ = false;
};

TEST_P(SaveBlockSharingTest, AudioKeepsItsAlignmentAndSharesItsBlocksWhereBlocksAreShared) {
    const bool shares = GetParam().shares;
    const Bytes original = MakeLargeMp3(4u << 20);
    const std::string song = folder_ + "/song.mp3", keep = folder_ + "/keep.mp3";
    WriteBytes(song, original);
    // The original's blocks stay in use, so that the saved file's show as shared.
    ASSERT_TRUE(!shares || RunTool({"cp", "--reflink=always", song, keep}).status == 0);
    const size_t audioStart = TagEnd(original), audio = original.size() - audioStart - kID3v1;
    const struct {
        std::string title;
        bool inPlace, grows;
    } steps[] = {{std::string(3000, 'g'), false, true},
                 {"fits", false, false},
                 {std::string(9000, 'i'), true, true}};
    size_t before = original.size();
    for (const auto& step : steps) {
        SCOPED_TRACE(step.title.substr(0, 4));
        ASSERT_TRUE(!step.inPlace || link(song.c_str(), (folder_ + "/b.mp3").c_str()) == 0);
        if (&step == steps) {
            SaveTitle(song, step.title);
        } else {
            const CommandResult set =
                RunCommand({LY_LYTAG_PATH, "set", "-q", song, "--field", "title=" + step.title});
            ASSERT_EQ(set.status, 0) << set.err;
        }
        const Bytes saved = ReadBytes(song);
        const size_t start = TagEnd(saved);
        ASSERT_EQ(saved.size(), start + audio + kID3v1);
        EXPECT_TRUE(
            std::equal(saved.begin() + start, saved.end() - kID3v1, original.begin() + audioStart));
        EXPECT_EQ(RunPython(kReadTitle, {song}).out, step.title + "\n");
        EXPECT_EQ(saved.size() == before, !step.grows);
        const size_t padding = step.grows ? Padding(saved) : kTagLibPadding;
        EXPECT_LE(padding, shares ? kTagLibPadding + kBlock - 1 : kTagLibPadding);
        EXPECT_TRUE(!shares || start % kBlock == audioStart % kBlock) << start;
        const int64_t shared = SharedBytes(song);
        const size_t whole = (audio - (kBlock - start % kBlock) % kBlock) / kBlock * kBlock;
        EXPECT_TRUE(shares ? shared >= static_cast<int64_t>(whole) : shared == 0) << shared;
        before = saved.size();
    }
}

TEST_P(SaveBlockSharingTest, EveryFormatsAudioKeepsItsBlocksWhereBlocksAreShared) {
    const bool shares = GetParam().shares;
    constexpr size_t kAudio = 1 << 20, kMostPadding = kBlock + 24;  // ASF's smallest padding
    const struct {
        const char* name;
        Bytes original;
    } formats[] = {
        {"f.flac", MakeFlac({{4, FlacComments({"TITLE=Flac"})}, {1, SampleBytes(100)}}, kAudio)},
        {"f.m4a", MakeLargeM4a(kAudio)},
        {"f.wma", MakeLargeWma(kAudio)},
        {"f.wav", MakeWavTaggedFirst()},
        {"f.opus", MakeLargeOpus()},
        {"f.ogg", MakeLargeOgg(kAudio)},
    };
    const std::string memory = InMemory(), title(3000, 't');
    std::vector<std::string> saved;
    for (const auto& format : formats) {
        SCOPED_TRACE(format.name);
        const std::string song = folder_ + "/" + format.name, alike = memory + "/" + format.name;
        WriteBytes(song, format.original);
        WriteBytes(alike, format.original);
        ASSERT_TRUE(!shares ||
                    RunTool({"cp", "--reflink=always", song, song + ".keep"}).status == 0);
        SaveTitle(song, title);
        SaveTitle(alike, title, false);
        const Bytes after = ReadBytes(song), anywhere = ReadBytes(alike);
        const size_t audio = CommonEnd(format.original, after);
        ASSERT_GE(audio, kAudio);
        const size_t from = format.original.size() - audio, start = after.size() - audio;
        // Without padding for it, the save moves the audio within its block.
        EXPECT_NE((anywhere.size() - CommonEnd(format.original, anywhere)) % kBlock, from % kBlock);
        const int64_t shared = SharedBytes(song);
        if (shares) {
            EXPECT_EQ(start % kBlock, from % kBlock);
            EXPECT_TRUE(after.size() >= anywhere.size() &&
                        after.size() < anywhere.size() + kMostPadding)
                << after.size() - anywhere.size();
            EXPECT_GE(shared, static_cast<int64_t>(audio / kBlock - 2) * kBlock);
        } else {
            EXPECT_TRUE(after == anywhere);
            EXPECT_EQ(shared, 0);
        }
        saved.push_back(song);
    }
    const CommandResult read = RunPython(kReadTitles, saved);
    std::string titles;
    for (size_t i = 0; i < saved.size(); ++i) titles += "3000 t\n";
    EXPECT_EQ(read.out, titles) << read.err;
}

INSTANTIATE_TEST_SUITE_P(
    FileSystems, SaveBlockSharingTest,
    ::testing::Values(FileSystem{"XfsReflink", {"mkfs.xfs", "-q", "-f", "-m", "reflink=1"}, true},
                      FileSystem{"Btrfs", {"mkfs.btrfs", "-q", "-f"}, true},
                      FileSystem{"NoReflink", {"mkfs.xfs", "-q", "-f", "-m", "reflink=0"}, false},
                      FileSystem{"Ext4", {"mkfs.ext4", "-q", "-F"}, false}),
    [](const ::testing::TestParamInfo<FileSystem>& info) { return info.param.name; });

}  // namespace
