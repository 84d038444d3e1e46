// Every failure a change or a save can meet, provoked for real, comes back
// with its reason: from the C layer, run as its own host program (so that a
// row can run as another user, under a file size limit, on a full file
// system or under strace), and in lytag's message where a row shows that
// lytag passes the module's reason on. The file stays as it was, byte for byte.
// A reason a parser test already reads back through the exports for the same
// cause (MULTIPLEXED_OGG in opus_test, VALUE_TOO_LONG in wma_test) is not
// repeated here: the layer passes every reason on alike.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "lyparser_c.h"
#include "tests/support/large_files.h"
#include "tests/support/ogg_fixtures.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tools/samples/mp4_sample.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/wma_sample.h"

namespace {

using Args = std::vector<std::string>;

// The host: PROGRAM --host [--memory] [--touch] FILE OPTION VALUE ... opens
// FILE (its image, from memory), records lytag set's options (--field
// NAME=VALUE, --comment or --attribute NAME=VALUE, --id3v1 Y|N), appends a
// byte to FILE with --touch (another program writes it), saves (unless it
// only removed a tag, which is written at once), and prints the name of the
// first reason a call gave, or OK.
int Host(Args args) {
    bool memory = false, touch = false;
    for (; args[0] == "--memory" || args[0] == "--touch"; args.erase(args.begin()))
        (args[0] == "--memory" ? memory : touch) = true;
    const std::string path = args[0];
    const Bytes image = memory ? ReadBytes(path) : Bytes();
    int reason = lyparser_init(nullptr);
    lyparser_file* file =
        memory ? lyparser_open_memory(LYPARSER_TYPE_OGG, image.data(), image.size(), &reason)
               : lyparser_open(path.c_str(), &reason);
    bool save = false;  // as lytag: a tag removal alone is written at once
    for (size_t i = 1; reason == LYPARSER_OK && i + 1 < args.size(); i += 2) {
        save = save || args[i] != "--id3v1";
        const std::string& value = args[i + 1];
        const std::string name = value.substr(0, value.find('='));
        const std::string text = value.substr(std::min(value.size(), name.size() + 1));
        if (args[i] == "--field") {
            reason = lyparser_set_field(file, name.c_str(), text.c_str(), nullptr);
        } else if (args[i] == "--id3v1") {
            reason = lyparser_set(file, LYPARSER_FIELD_HAS_ID3V1, value.c_str());
        } else {
            reason = lyparser_set_ex(file, name.c_str(), text.c_str());
        }
    }
    if (touch) {
        Bytes grown = ReadBytes(path);
        grown.push_back('x');
        WriteBytes(path, grown);
    }
    if (reason == LYPARSER_OK && save) reason = lyparser_save(file);
    std::printf("%s\n", reason == LYPARSER_OK ? "OK" : lyparser_reason_name(reason));
    lyparser_close(file);
    lyparser_shutdown();
    return 0;
}

Args Join(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Args SizeLimit(size_t bytes) { return {"/usr/bin/prlimit", "--fsize=" + std::to_string(bytes)}; }

// strace makes every `call` do `what` (error=EIO, retval=0).
Args Injected(const std::string& call, const std::string& what) {
    return Join(
        {"/usr/bin/strace", "-qq", "-f", "-o", "/dev/null", "-e", "trace=" + call},
        {"-e", "inject=" + call + ":" + what, "/usr/bin/env", "ASAN_OPTIONS=detect_leaks=0"});
}

// In a mount namespace of its own, `script` (a shell command; "$1" and "$2"
// are `one` and `two`), then the command.
Args Mounted(const std::string& script, const std::string& one = "", const std::string& two = "") {
    return Join({"/usr/bin/unshare", "-m", "/bin/sh", "-c", script + " && shift 2 && exec \"$@\""},
                {"sh", one, two});
}

enum How { kHostOnly = 0, kLytagToo = 1, kTouch = 2, kMemory = 4 };

struct Row {
    std::string reason;  // the name the C layer gives
    const char* what;
    std::string file;
    Args options;      // lytag set's
    Args runner = {};  // what the host and lytag run under
    // kLytagToo: lytag names the reason too; it passes on every reason of a
    // save the same way, and refuses some files first in its own words
    int how = kHostOnly;
};

class FailureReasonsTest : public ::testing::Test {
protected:
    std::string Put(const std::string& name, const Bytes& data) {
        const std::string path = dir_.Write(name, data);
        EXPECT_EQ(chmod(path.c_str(), 0644), 0);
        return path;
    }

    // What `command`, given the row's options, prints under the row's runner.
    static std::string Run(const Row& row, const Args& command) {
        const CommandResult result = RunCommand(Join(row.runner, Join(command, row.options)));
        return result.out + result.err;
    }

    TempDir dir_;
};

TEST_F(FailureReasonsTest, EachFailureComesBackWithItsReason) {
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);  // for the rows run as nobody
    const Bytes mp3 = MakeMp3Sample(), ogg = MakeOggSample(), wma = MakeWmaSample();
    Mp4Layout overflowing;  // chunk offsets just under 4 GiB: a grown tag pushes them past
    overflowing.offsetBias = 0xFFFFFFFFull - 4000;
    Bytes text(3000, 'x'), id3v1 = MakeId3v1Tag("t", "a", "b", "2000", "c", 1, 1);
    text.insert(text.end(), id3v1.begin(), id3v1.end());  // no audio, an ID3v1 tag
    Bytes cutOff = MakeId3v23Tag({{"TIT2", "t"}, {"TPE1", "artist"}});
    const std::string frame = "TPE1";
    cutOff[std::search(cutOff.begin(), cutOff.end(), frame.begin(), frame.end()) - cutOff.begin() +
           7] += 40;  // the frame's size runs past the tag's end
    const Bytes audio = MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, 40);
    cutOff.insert(cutOff.end(), audio.begin(), audio.end());
    const Args title = {"--field", "title=New"};
    const Args grown = {"--comment", "NOTES=" + std::string(30000, 'n')};
    const Args farTitle = {"--field", "title=" + std::string(3000, 't')};

    const std::string pending = Put("pending.mp3", mp3);
    const char mark[] = "/var/tmp/lyparser-saved-0-0-1\n5\n00";
    ASSERT_EQ(setxattr(pending.c_str(), "user.lyparser.pending-copy", mark, sizeof mark - 1, 0), 0);
    const std::string locked = Put("locked.mp3", mp3);
    const int holder = open(locked.c_str(), O_RDWR | O_CLOEXEC);
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    ASSERT_EQ(fcntl(holder, F_OFD_SETLK, &whole), 0);
    const Args waitLittle = {"/usr/bin/env", "LYPARSER_SAVE_WAIT_MS=50"};
    // Written in place (two links) in a folder nobody may write, /var/tmp in memory.
    ASSERT_EQ(mkdir(dir_.File("shut").c_str(), 0755), 0);
    const std::string linked = Put("shut/linked.mp3", mp3);
    ASSERT_EQ(link(linked.c_str(), dir_.File("shut/second-name.mp3").c_str()), 0);
    ASSERT_EQ(chown(linked.c_str(), kNobodyId, kNobodyId), 0);
    ASSERT_EQ(chmod(dir_.File("shut").c_str(), 0555), 0);
    const Args noCopyRoom = Join(Mounted("mount -t tmpfs tmpfs /var/tmp"), kAsNobody);
    // A file system that holds the file and a few pages more.
    ASSERT_EQ(mkdir(dir_.File("disk").c_str(), 0755), 0);
    const std::string disk = "mount -t tmpfs -o size=" + std::to_string(mp3.size() + 12288) +
                             " tmpfs \"$1\" && cp \"$2\" \"$1\"";
    const Args tinyDisk = Mounted(disk, dir_.File("disk"), Put("full.mp3", mp3));

    const Row rows[] = {
        {"READ_ONLY", "read-only MP3", Put("ro.mp3", mp3), title, kAsNobody},
        {"READ_ONLY", "read-only Ogg", Put("ro.ogg", ogg), title, kAsNobody},
        {"CHANGED_ON_DISK", "MP3 changed after open", Put("new.mp3", mp3), title, {}, kTouch},
        {"CHANGED_ON_DISK", "Ogg changed after open", Put("new.ogg", ogg), title, {}, kTouch},
        {"CHANGED_ON_DISK", "WMA changed after open", Put("new.wma", wma), title, {}, kTouch},
        {"DISK_FULL", "size limit below the new size", Put("limit.mp3", mp3), title,
         SizeLimit(mp3.size() / 2), kLytagToo},
        {"DISK_FULL", "size limit passed while writing", Put("limit.ogg", ogg), grown,
         SizeLimit(ogg.size() + 10000)},
        {"DISK_FULL", "full disk", dir_.File("disk/full.mp3"), title, tinyDisk},
        {"NO_AUDIO", "text named .mp3", Put("text.mp3", text), title},
        {"NO_AUDIO", "its ID3v1 tag removed", Put("strip.mp3", text), {"--id3v1", "N"}},
        {"PENDING_COPY", "pending safety copy", pending, title},
        {"LOCKED", "save lock held", locked, title, waitLittle},
        {"IO_ERROR", "I/O error", Put("eio.mp3", mp3), title, Injected("fsync", "error=EIO")},
        {"DAMAGED", "original ends early", Put("short.mp3", MakeLargeMp3(2 << 20)), title,
         Injected("copy_file_range", "retval=0")},
        {"DAMAGED", "ID3v2 frame past its tag's end", Put("cut.mp3", cutOff), title},
        {"NOT_WRITABLE", "Ogg opened from memory", Put("image.ogg", ogg), title, {}, kMemory},
        {"REFUSED_VALUE", "MP4 offsets would overflow", Put("far.m4a", MakeMp4(overflowing)),
         farTitle},
        {"NO_SAFETY_COPY", "no room for a safety copy", linked, title, noCopyRoom},
    };
    // Where mounts are not allowed, the rows that need one are left out.
    const bool canMount = RunCommand(Mounted("mount -t tmpfs tmpfs /mnt")).status == 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (!canMount && !row.runner.empty() && row.runner[0] == "/usr/bin/unshare") continue;
        const bool seen = std::filesystem::exists(row.file);  // not the one in a mount
        const Bytes before = seen ? ReadBytes(row.file) : Bytes();
        Args host = {std::filesystem::read_symlink("/proc/self/exe"), "--host"};
        if (row.how & kTouch) host.push_back("--touch");
        if (row.how & kMemory) host.push_back("--memory");
        EXPECT_EQ(Run(row, Join(host, {row.file})), row.reason + "\n");
        if (row.how & kLytagToo) {
            const std::string said = Run(row, {LY_LYTAG_PATH, "set", "-q", row.file});
            EXPECT_NE(said.find(row.file + ": " + row.reason + ": "), std::string::npos)
                << said.substr(0, 400);
        }
        if (seen && !(row.how & kTouch)) {
            EXPECT_TRUE(ReadBytes(row.file) == before);
        }
    }
    close(holder);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--host") == 0) return Host(Args(argv + 2, argv + argc));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
