// What a save through the exports does to the file as a thing on disk, for
// MP3, Ogg Vorbis, WMA and FLAC alike: a file the user may not write is left
// alone; one written through its group, through an ACL, under several names,
// with attributes the user cannot copy, or in a folder the user may not write
// is saved in place, keeping its inode, owner, group, mode and attributes,
// and leaving no safety copy behind; a handle answers from, and saves again
// over, the file it wrote, but never writes a file deleted or changed by
// another writer after the open. Unprivileged saves run in forked children,
// so that the kernel's permission checks apply although the tests run as
// root. A writer that restores the modification time is seen. (A strip that
// fails: save_in_place_test.)
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "tests/api/save_host.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"
#include "tools/samples/flac_sample.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wma_sample.h"

namespace {

// A group the unprivileged user is put in only where a test says so.
constexpr gid_t kSharedGroup = 4242;

struct Format {
    const char* extension;
    Bytes (*make)();
};

Bytes OggSample() {
    static const Bytes sample = MakeOggSample();  // encoded once: libvorbisenc takes a while
    return sample;
}

Bytes FlacSample() { return MakeFlac({{4, FlacComments({"TITLE=Sample"})}, {1, Bytes(512)}}); }

const Format kFormats[] = {
    {"mp3", MakeMp3Sample}, {"ogg", OggSample}, {"wma", MakeWmaSample}, {"flac", FlacSample}};

// Writes `data` as `path`, owned by `uid`:`gid` with `mode`, last changed an
// hour ago, so that a later write shows in the time stamp even within one
// clock tick.
std::string Place(const std::string& path, const Bytes& data, uid_t uid = 0, gid_t gid = 0,
                  mode_t mode = 0644) {
    WriteBytes(path, data);
    struct timespec times[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    if (chown(path.c_str(), uid, gid) != 0 || chmod(path.c_str(), mode) != 0 ||
        utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        ADD_FAILURE() << "cannot prepare " << path;
    }
    return path;
}

const std::string kTitle = std::to_string(FIELD_TITLE) + "=";

std::string TitleOf(const std::string& path) {
    return TagParserGetData(OpenedFile(path).get(), FIELD_TITLE);
}

// Owner, group and mode, and which file: what a save must not change.
std::string Identity(const std::string& path, bool withInode = true) {
    struct stat info = {};
    stat(path.c_str(), &info);
    return std::to_string(info.st_uid) + ":" + std::to_string(info.st_gid) + " " +
           std::to_string(info.st_mode) + (withInode ? " #" + std::to_string(info.st_ino) : "");
}

// Every extended attribute of `path`, ACLs among them, by name.
std::map<std::string, std::string> AttributesOf(const std::string& path) {
    std::map<std::string, std::string> values;
    char names[4096];
    ssize_t size = listxattr(path.c_str(), names, sizeof names);
    for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(strlen(names + at)) + 1) {
        char value[4096];
        ssize_t length = getxattr(path.c_str(), names + at, value, sizeof value);
        values[names + at] =
            length < 0 ? "<unreadable>" : std::string(value, static_cast<size_t>(length));
    }
    return values;
}

// An access ACL in the kernel's form (a version, then tag, permissions and
// id of each entry): the owner, the unprivileged user and the mask may read
// and write, the group and others read.
const std::string kAclLettingTheUserWrite(
    "\2\0\0\0"
    "\x01\0\6\0\xFF\xFF\xFF\xFF"   // the owner
    "\x02\0\6\0\xFE\xFF\0\0"       // user 65534
    "\x04\0\4\0\xFF\xFF\xFF\xFF"   // the group
    "\x10\0\6\0\xFF\xFF\xFF\xFF"   // the mask
    "\x20\0\4\0\xFF\xFF\xFF\xFF",  // others
    44);

class SaveIdentityTest : public ModuleTest {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "only root can save as another user";
        // The folder the unprivileged user works in: anyone may write it.
        ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
    }
};

// Root copies every attribute onto the new file; the user cannot give a file
// back to root, nor set a security attribute, nor write a locked folder, and
// so saves in place.
TEST_F(SaveIdentityTest, UnwritableFilesAreLeftAndOthersSavedKeepingWhatTheyAre) {
    // How a case is saved: by root instead of the user, by the user in the
    // shared group, with the folder read-only, with an ACL letting the user write.
    enum { kByRoot = 1, kInGroup = 2, kLockedFolder = 4, kAcl = 8 };
    const std::string kUser = "user.lyparser.test", kSecurity = "security.lyparser.test";
    const struct {
        const char* what;
        uid_t owner;
        gid_t group;
        mode_t mode;
        int how;                // the flags above
        std::string attribute;  // an extended attribute the file carries
        int saved;
    } cases[] = {
        {"the user's own read-only file", kNobodyId, kNobodyId, 0444, 0, "", 0},
        {"writable through a group the user is in", 0, kSharedGroup, 0664, kInGroup, "", 1},
        {"in a folder the user may not write", kNobodyId, kNobodyId, 0644, kLockedFolder, "", 1},
        {"saved by root with a group and mode of its own", 0, kSharedGroup, 0604, kByRoot, "", 1},
        // Last, so that a file system refusing an attribute skips the least.
        {"with an ACL, saved by root", 0, 0, 0644, kByRoot | kAcl, kUser, 1},
        {"saved by a user the ACL lets write", 0, 0, 0644, kAcl, kUser, 1},
        {"saved by its owner, who may not set the attribute", kNobodyId, kNobodyId, 0644, 0,
         kSecurity, 1},
    };
    TempDir scratch;  // the user's temporary folder
    ASSERT_EQ(chmod(scratch.path().c_str(), 0777), 0);
    for (const auto& c : cases) {
        for (const Format& format : kFormats) {
            SCOPED_TRACE(std::string(format.extension) + ": " + c.what);
            const std::string name = std::string("song.") + format.extension;
            const std::string path =
                Place(dir_.File(name), format.make(), c.owner, c.group, c.mode);
            for (const auto& [attribute, value] :
                 {std::pair<std::string, std::string>(c.attribute, "kept"),
                  {c.how & kAcl ? "system.posix_acl_access" : "", kAclLettingTheUserWrite}}) {
                if (attribute.empty()) continue;
                const int set =
                    setxattr(path.c_str(), attribute.c_str(), value.data(), value.size(), 0);
                if (set != 0 && errno == ENOTSUP)
                    GTEST_SKIP() << "the file system refuses " << attribute;
                ASSERT_EQ(set, 0) << "cannot set " << attribute << ": " << strerror(errno);
            }
            ASSERT_EQ(chmod(dir_.path().c_str(), c.how & kLockedFolder ? 0555 : 0777), 0);
            const Bytes before = ReadBytes(path);
            const auto attributes = AttributesOf(path);
            const std::string identity = Identity(path, !(c.how & kByRoot));
            auto save = [&] { return SaveChanges(path, {kTitle + "Saved"}); };
            auto saveAsUser = [&] {
                gid_t groups[] = {kSharedGroup};
                setenv("TMPDIR", scratch.path().c_str(), 1);
                const bool dropped = setgroups(c.how & kInGroup ? 1 : 0, groups) == 0 &&
                                     setresgid(kNobodyId, kNobodyId, kNobodyId) == 0 &&
                                     setresuid(kNobodyId, kNobodyId, kNobodyId) == 0;
                return dropped ? save() : 126;
            };
            EXPECT_EQ(c.how & kByRoot ? save() : RunInChild(saveAsUser), c.saved);
            ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
            EXPECT_TRUE(c.saved ? TitleOf(path) == "Saved" : ReadBytes(path) == before);
            EXPECT_EQ(Identity(path, !(c.how & kByRoot)), identity);
            EXPECT_EQ(AttributesOf(path), attributes);
            EXPECT_EQ(dir_.Names(), std::vector<std::string>{name});
            EXPECT_EQ(scratch.Names(), std::vector<std::string>{});
            unlink(path.c_str());
        }
    }
}

// Saved by rename with one name, in place with two: every name shows each
// save, and the file keeps its inode. A file another handle saved since, or
// one deleted, is never written.
TEST_F(SaveIdentityTest, HandleSavesAgainOverTheFileItWroteButNeverOverAnotherWriter) {
    for (const Format& format : kFormats) {
        for (bool twoNames : {false, true}) {
            SCOPED_TRACE(std::string(format.extension) + (twoNames ? ", two names" : ", one name"));
            const std::string path =
                Place(dir_.File(std::string("song.") + format.extension), format.make());
            const std::string other = dir_.File(std::string("other.") + format.extension);
            ASSERT_TRUE(!twoNames || link(path.c_str(), other.c_str()) == 0);
            const std::string identity = Identity(path);
            OpenedFile file(path);
            TagParserSetData(file.get(), FIELD_TITLE, "First save");
            ASSERT_EQ(TagParserApplyFile(file.get()), 1);
            TagParserSetData(file.get(), FIELD_TITLE, "Second");
            EXPECT_EQ(TagParserApplyFile(file.get()), 1);
            EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE) + " " + TitleOf(path),
                      "Second Second");
            if (twoNames) {
                EXPECT_EQ(TitleOf(other), "Second");
                EXPECT_EQ(Identity(path) + " " + Identity(other), identity + " " + identity);
            }

            TagParserSetData(file.get(), FIELD_TITLE, "Would undo theirs");
            EXPECT_EQ(SaveChanges(path, {kTitle + "Other handle"}), 1);
            const Bytes theirs = ReadBytes(path);
            const std::string theirIdentity = Identity(path);
            EXPECT_EQ(TagParserApplyFile(file.get()), 0);
            EXPECT_TRUE(ReadBytes(path) == theirs);
            EXPECT_EQ(Identity(path), theirIdentity);

            // A writer that puts the modification time back (touch -r) shows
            // in the change time.
            OpenedFile quiet(path);
            TagParserSetData(quiet.get(), FIELD_TITLE, "Would undo a quiet writer");
            Bytes quieter = ReadBytes(path);
            quieter.back() ^= 1;
            struct stat before = {};
            stat(path.c_str(), &before);
            WriteBytes(path, quieter);
            const struct timespec times[2] = {before.st_atim, before.st_mtim};
            ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
            EXPECT_EQ(TagParserApplyFile(quiet.get()), 0);
            EXPECT_TRUE(ReadBytes(path) == quieter);

            OpenedFile deleted(path);
            TagParserSetData(deleted.get(), FIELD_TITLE, "Deleted");
            unlink(path.c_str());
            EXPECT_EQ(TagParserApplyFile(deleted.get()), 0);
            EXPECT_EQ(dir_.Names().size(), twoNames ? 1u : 0u);
            unlink(other.c_str());
        }
    }
}

}  // namespace
