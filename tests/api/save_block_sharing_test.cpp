// `lytag set` grows an MP3's tag, makes a change that fits its padding, then
// grows it in place (through a second name), on file systems that share blocks
// (XFS with reflink=1, btrfs) and on two that do not. Where blocks are shared
// the audio keeps its offset modulo the block size, behind less than a block
// of extra padding, and its extents are shared with a reflinked copy of the
// original (FIEMAP); elsewhere the tag gets TagLib's padding and no more.
// Each image is loop-mounted in a mount namespace of the test's own, so that
// its mounts go whatever stops the test; skipped, saying why, without root,
// mkfs or loop devices.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <ostream>

#include "lyParser.h"
#include "tests/support/large_files.h"
#include "tests/support/process.h"

namespace {

struct FileSystem {
    const char* name;
    std::vector<std::string> mkfs;  // empty: the temporary folder, if ext4 or tmpfs
    bool shares;
};
void PrintTo(const FileSystem& fs, std::ostream* out) { *out << fs.name; }

constexpr size_t kID3v1 = 128, kTagLibPadding = 1024, kBlock = 4096;

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

// The bytes of `path` from `from` on that lie in extents shared with another file.
int64_t SharedBytes(const std::string& path, int64_t from) {
    std::vector<char> space(sizeof(fiemap) + 256 * sizeof(fiemap_extent));
    fiemap* map = reinterpret_cast<fiemap*>(space.data());
    map->fm_start = static_cast<uint64_t>(from);
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = 256;
    const int fd = open(path.c_str(), O_RDONLY);
    const bool mapped = ioctl(fd, FS_IOC_FIEMAP, map) == 0;
    close(fd);
    int64_t shared = 0;
    for (unsigned i = 0; mapped && i < map->fm_mapped_extents; ++i) {
        const fiemap_extent& e = map->fm_extents[i];
        if (e.fe_flags & FIEMAP_EXTENT_SHARED) shared += e.fe_length;
    }
    return shared;
}

class SaveBlockSharingTest : public ::testing::TestWithParam<FileSystem> {
protected:
    void SetUp() override {
        struct statfs info;
        if (GetParam().mkfs.empty() && statfs(folder_.c_str(), &info) == 0 &&
            info.f_type != EXT4_SUPER_MAGIC && info.f_type != TMPFS_MAGIC) {
            GTEST_SKIP() << "the temporary folder is neither ext4 nor tmpfs";
        }
        if (GetParam().mkfs.empty()) return;
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
        folder_ = dir_.File("mnt");
        ASSERT_EQ(mkdir(folder_.c_str(), 0755), 0);
        const CommandResult mounted = RunTool({"mount", "-o", "loop", image, folder_});
        if (mounted.status != 0) GTEST_SKIP() << "no loop mount: " << mounted.err;
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_ && RunTool({"umount", folder_}).status != 0)
            RunTool({"umount", "-l", folder_});
    }

    TempDir dir_;
    std::string folder_ = dir_.path();
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
        const CommandResult set =
            RunCommand({LY_LYTAG_PATH, "set", "-q", song, "--field", "title=" + step.title});
        ASSERT_EQ(set.status, 0) << set.err;
        const Bytes saved = ReadBytes(song);
        const size_t start = TagEnd(saved);
        ASSERT_EQ(saved.size(), start + audio + kID3v1);
        EXPECT_TRUE(
            std::equal(saved.begin() + start, saved.end() - kID3v1, original.begin() + audioStart));
        EXPECT_EQ(RunPython("import sys; from mutagen.id3 import ID3\n"
                            "print(ID3(sys.argv[1])['TIT2'].text[0])",
                            {song})
                      .out,
                  step.title + "\n");
        EXPECT_EQ(saved.size() == before, !step.grows);
        const size_t padding = step.grows ? Padding(saved) : kTagLibPadding;
        EXPECT_GE(padding, kTagLibPadding);
        EXPECT_LE(padding, shares ? kTagLibPadding + kBlock - 1 : kTagLibPadding);
        EXPECT_TRUE(!shares || start % kBlock == audioStart % kBlock) << start;
        const int64_t shared = SharedBytes(song, start);
        const size_t whole = (audio - (kBlock - start % kBlock) % kBlock) / kBlock * kBlock;
        EXPECT_TRUE(shares ? shared >= static_cast<int64_t>(whole) : shared == 0) << shared;
        before = saved.size();
    }
}

// A save that found the file locked by another, done again on the same handle:
// the padding of the first try is not left between the tag and the audio.
TEST_P(SaveBlockSharingTest, SaveDoneAgainOnTheSameHandleLeavesNoPaddingBehindTheTag) {
    const std::string song = folder_ + "/song.mp3";
    WriteBytes(song, MakeLargeMp3(1u << 20));
    setenv("LYPARSER_SAVE_WAIT_MS", "10", 1);
    TagParserInitialize(nullptr);
    IBaseTag* handle = TagParserOpenFile(song.c_str());
    TagParserSetData(handle, FIELD_HAS_ID3V2, "Y");
    TagParserSetData(handle, FIELD_TITLE2, std::string(3000, 't').c_str());
    const int other = open(song.c_str(), O_RDWR);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(fcntl(other, F_OFD_SETLK, &lock), 0);
    EXPECT_EQ(TagParserApplyFile(handle), 0);
    close(other);
    EXPECT_EQ(TagParserApplyFile(handle), 1);
    TagParserCloseFile(handle);
    TagParserFinalize();
    const Bytes saved = ReadBytes(song);
    EXPECT_EQ(saved[TagEnd(saved)], 0xFF);  // the first audio frame
}

INSTANTIATE_TEST_SUITE_P(
    FileSystems, SaveBlockSharingTest,
    ::testing::Values(FileSystem{"XfsReflink", {"mkfs.xfs", "-q", "-f", "-m", "reflink=1"}, true},
                      FileSystem{"Btrfs", {"mkfs.btrfs", "-q", "-f"}, true},
                      FileSystem{
                          "XfsNoReflink", {"mkfs.xfs", "-q", "-f", "-m", "reflink=0"}, false},
                      FileSystem{"TemporaryFolder", {}, false}),
    [](const ::testing::TestParamInfo<FileSystem>& info) { return info.param.name; });

}  // namespace
