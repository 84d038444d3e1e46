// Saves of MP3 files that fail where strace makes them fail, most of them in
// place (a file with a second name, or in a folder the user may not write):
// a write into the file that fails is put back when the old bytes were few,
// else the file is left pending, which every save through every name
// respects, lytag names and `lytag repair` undoes; a folder sync or a copy's
// removal that fails is reported; the copy of a file whose folder may not be
// written lives in /var/tmp whatever TMPDIR says; a save stopped half way
// never shares its copy with another; attributes that cannot be listed keep
// a file in place; a strip that fails leaves the tag in the handle's answers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/pending_copy.h"
#include "tests/api/save_host.h"
#include "tests/support/large_files.h"
#include "tests/support/module_test.h"
#include "tools/samples/mpeg_sample.h"

namespace {

const std::string kLongTitle = std::to_string(FIELD_TITLE2) + "=" + std::string(300, 't');
const std::string kLyrics = std::to_string(FIELD_LYRICS) + "=";
// Changes that make the tag of a large file far bigger: every byte after it
// moves, more than a save keeps in memory to put back.
const Changes kGrowing = {kLongTitle, kLyrics + std::string(30000, 'v')};

class SaveInPlaceTest : public ModuleTest {
protected:
    void SetUp() override {
        if (access("/usr/bin/strace", X_OK) != 0) GTEST_SKIP() << "strace is missing";
        if (geteuid() != 0) GTEST_SKIP() << "only root can save as another user";
        ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    }

    static const Bytes& BigFile() {
        static const Bytes file = MakeLargeMp3(3u << 20);
        return file;
    }

    // What a save of `changes` makes of `original`.
    Bytes Saved(const Bytes& original, const Changes& changes) {
        const std::string path = dir_.Write("expected.mp3", original);
        EXPECT_EQ(SaveChanges(path, changes), 1);
        const Bytes saved = ReadBytes(path);
        unlink(path.c_str());
        return saved;
    }

    // Writes `original` as a.mp3 and, as its second name, b.mp3.
    std::string PlaceTwoNames(const Bytes& original) {
        const std::string path = dir_.Write("a.mp3", original);
        EXPECT_EQ(link(path.c_str(), dir_.File("b.mp3").c_str()), 0);
        return path;
    }

    static std::string Pending(const std::string& path) {
        return TagParserGetExData(OpenedFile(path).get(), LYPARSER_KEY_PENDING_COPY);
    }
};

// Each row fails one call of the write into the file; the second save on the
// same handle shows whether the handle still saves.
TEST_F(SaveInPlaceTest, FailedWriteIsPutBackOrLeavesAPendingFileUntilRepaired) {
    const struct {
        const char* inject;
        bool big;            // else the small sample, whose changes fit the padding or grow it
        size_t title;        // the small sample's new title length: 5 fits the padding
        const char* repair;  // null: the old bytes are put back
    } cases[] = {
        {"pwrite64:error=EIO:when=1", false, 5, nullptr},
        {"ftruncate:error=EIO:when=1", false, 300, nullptr},
        {"pwrite64:error=EIO:when=2", true, 0, "repair"},
        {"pwrite64:error=EFBIG:when=2", true, 0, "--discard"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inject);
        for (const std::string& name : dir_.Names()) unlink(dir_.File(name).c_str());
        const Bytes original = c.big ? BigFile() : Bytes(MakeMp3Sample());
        const Changes changes =
            c.big ? kGrowing
                  : Changes{std::to_string(FIELD_TITLE2) + "=" + std::string(c.title, 't')};
        const Bytes saved = Saved(original, changes);
        const std::string a = PlaceTwoNames(original), b = dir_.File("b.mp3");
        const std::vector<std::string> names = {"a.mp3", "b.mp3"};
        Changes twice = changes;
        twice.insert(twice.end(), {"+", std::to_string(FIELD_ARTIST) + "=Second"});
        const CommandResult result = TracedSave(
            TracedHost({"-e", "trace=pwrite64,ftruncate", "-e", std::string("inject=") + c.inject}),
            a, twice);
        if (!c.repair) {
            // Put back: the old bytes, nothing left, and the handle saves on.
            EXPECT_EQ(result.out, "0 1\n") << result.err;
            EXPECT_EQ(TagParserGetData(OpenedFile(b).get(), FIELD_ARTIST), "Second");
            EXPECT_EQ(dir_.Names(), names);
            continue;
        }
        EXPECT_EQ(result.out, "0 0\n") << result.err;
        const Bytes torn = ReadBytes(a);
        EXPECT_TRUE(torn != original && torn != saved);
        const std::string copy = Pending(b);
        EXPECT_EQ(copy.rfind(dir_.File(".a.mp3.lyparser-saved-"), 0), 0u) << copy;
        EXPECT_TRUE(ReadBytes(copy) == saved);
        for (std::vector<std::string> command :
             {std::vector<std::string>{LY_LYTAG_PATH, "show", b},
              {LY_LYTAG_PATH, "set", b, "--field", "artist=X"}}) {
            const CommandResult lytag = RunCommand(command);
            EXPECT_EQ(lytag.status, 1) << command[1];
            EXPECT_NE(lytag.err.find(copy), std::string::npos) << lytag.err;
        }
        EXPECT_TRUE(ReadBytes(a) == torn);
        const bool discard = std::string(c.repair) == "--discard";
        const CommandResult repaired =
            RunCommand({LY_LYTAG_PATH, "repair", b, discard ? "--discard" : "--"});
        EXPECT_EQ(repaired.status, 0) << repaired.err;
        EXPECT_TRUE(ReadBytes(a) == (discard ? torn : saved));
        EXPECT_EQ(dir_.Names(), names);
        EXPECT_EQ(Pending(b), "");
        EXPECT_EQ(getxattr(a.c_str(), kPendingCopyAttribute, nullptr, 0), -1);
    }
}

// A sync that fails before the first byte reaches the file refuses the save
// and leaves nothing; one after the file is new reports 0, and the handle is
// on the new file. A folder that cannot be read is synced with syncfs.
TEST_F(SaveInPlaceTest, FailedFolderSyncsAreReported) {
    const struct {
        const char* what;
        bool twoNames;
        bool writeOnlyFolder;
        const char* inject;
        const char* out;
    } cases[] = {
        {"rename, the folder after the rename", false, false, "fsync:error=EIO:when=2", "0 1\n"},
        {"in place, the copy's folder", true, false, "fsync:error=EIO:when=2", "0 1\n"},
        {"rename, write-only folder", false, true, "syncfs:error=EIO:when=1", "0 1\n"},
    };
    const Bytes original = MakeMp3Sample();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string a = c.twoNames ? PlaceTwoNames(original) : dir_.Write("a.mp3", original);
        ASSERT_EQ(chown(a.c_str(), c.writeOnlyFolder ? kNobodyId : 0, 0), 0);
        ASSERT_EQ(chmod(dir_.path().c_str(), c.writeOnlyFolder ? 0333 : 0755), 0);
        const TracedHost host({"-e", "trace=fsync,syncfs", "-e", std::string("inject=") + c.inject},
                              c.writeOnlyFolder ? "nobody" : "");
        const CommandResult result = TracedSave(host, a, {kLongTitle, "+", kLyrics + "Second"});
        ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
        EXPECT_EQ(result.out, c.out) << result.err;
        EXPECT_EQ(TagParserGetData(OpenedFile(a).get(), FIELD_LYRICS), "Second");
        EXPECT_EQ(dir_.Names().size(), c.twoNames ? 2u : 1u);
        for (const std::string& name : dir_.Names()) unlink(dir_.File(name).c_str());
    }
}

// The user may not write the folder: the copy goes to /var/tmp, whatever
// TMPDIR says, where no other user may read or replace it, and every process
// finds it; repair takes only the whole copy. (A /var/tmp in memory refuses
// such saves: failure_reasons_test.)
TEST_F(SaveInPlaceTest, CopyOfAFileInAnUnwritableFolderLivesInVarTmp) {
    std::string shared;
    if (!SharedCopyFolder(&shared)) GTEST_SKIP() << "/var/tmp is in memory here";
    const Bytes original = BigFile();
    const Bytes saved = Saved(original, kGrowing);
    const std::string a = dir_.Write("a.mp3", original);
    ASSERT_EQ(chown(a.c_str(), kNobodyId, kNobodyId), 0);
    const TracedHost host({"-e", "trace=pwrite64", "-e", "inject=pwrite64:error=EIO:when=2"},
                          "nobody", {"TMPDIR=/dev/shm"});
    EXPECT_EQ(TracedSave(host, a, kGrowing).out, "0\n");
    const std::string copy = Pending(a);
    ASSERT_EQ(copy.rfind("/var/tmp/lyparser-saved-", 0), 0u) << copy;
    struct stat info = {};
    ASSERT_EQ(stat(copy.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, kNobodyId);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // A copy that is not the whole new content is never written back.
    ASSERT_EQ(truncate(copy.c_str(), info.st_size - 1), 0);
    EXPECT_EQ(RunCommand({LY_LYTAG_PATH, "repair", a}).status, 1);
    WriteBytes(copy, saved);
    EXPECT_EQ(RunCommand({LY_LYTAG_PATH, "repair", a}).status, 0);
    EXPECT_TRUE(ReadBytes(a) == saved);
    EXPECT_NE(access(copy.c_str(), F_OK), 0);
}

// A save stopped after marking the file: another save, through the other
// name, waits for it, neither takes nor replaces its copy, and fails, as
// the file changed; the first one ends well.
TEST_F(SaveInPlaceTest, SaveStoppedHalfWayKeepsItsCopyFromAnother) {
    const Bytes original = BigFile();
    const Bytes saved = Saved(original, kGrowing);
    const std::string a = PlaceTwoNames(original);
    TempDir logs;
    const TracedHost host({"-e", "trace=pwrite64", "-e", "inject=pwrite64:signal=SIGSTOP:when=1"},
                          "", {}, logs.File("strace.log"));
    const RunningSave first = StartTracedSave(host, a, kGrowing, logs.File("out"));
    ASSERT_TRUE(WaitUntilStopped(first));
    OpenedFile other(dir_.File("b.mp3"));
    TagParserSetData(other.get(), FIELD_ARTIST, "Second");
    EXPECT_EQ(SaveBesideStopped(first, other.get(), a), std::make_pair(std::string("1\n"), 0));
    EXPECT_TRUE(ReadBytes(a) == saved);
    EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"a.mp3", "b.mp3"}));
}

// Attributes that cannot be listed (EIO) keep the file in place, where they
// stay; a list that grew meanwhile (ERANGE) is asked for again and copied.
TEST_F(SaveInPlaceTest, AttributesThatCannotBeListedAreKeptInPlace) {
    const struct {
        const char* inject;
        bool inPlace;
    } cases[] = {{"flistxattr:error=EIO:when=1", true}, {"flistxattr:error=ERANGE:when=2", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inject);
        const std::string path = dir_.Write("a.mp3", MakeMp3Sample());
        if (setxattr(path.c_str(), "user.lyparser.test", "kept", 4, 0) != 0)
            GTEST_SKIP() << "the file system refuses user attributes";
        struct stat before = {}, after = {};
        stat(path.c_str(), &before);
        const TracedHost host({"-e", "trace=flistxattr", "-e", std::string("inject=") + c.inject});
        EXPECT_EQ(TracedSave(host, path, {kLongTitle}).out, "1\n");
        stat(path.c_str(), &after);
        EXPECT_EQ(after.st_ino == before.st_ino, c.inPlace);
        char value[8] = {};
        EXPECT_EQ(getxattr(path.c_str(), "user.lyparser.test", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
}

// A copy that cannot be removed after the file is new is reported, and the
// next save clears it; a strip that fails on a full disk leaves the handle
// answering that the file still has its tag.
TEST_F(SaveInPlaceTest, FailuresAfterTheWriteOrOfAStripAreReported) {
    const std::string a = PlaceTwoNames(MakeMp3Sample());
    const TracedHost copyStays({"-e", "trace=unlink", "-e", "inject=unlink:error=EIO:when=1"});
    EXPECT_EQ(TracedSave(copyStays, a, {kLongTitle, "+", kLyrics + "Second"}).out, "0 1\n");
    EXPECT_EQ(TagParserGetData(OpenedFile(a).get(), FIELD_LYRICS), "Second");
    EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"a.mp3", "b.mp3"}));

    const TracedHost fullDisk(
        {"-e", "trace=fallocate", "-e", "inject=fallocate:error=ENOSPC:when=1"});
    const Changes strip = {std::to_string(FIELD_HAS_ID3V1) + "=Y",
                           std::to_string(FIELD_HAS_ID3V2) + "=N",
                           "?" + std::to_string(FIELD_HAS_ID3V2)};
    EXPECT_EQ(TracedSave(fullDisk, a, strip).out, "Y 1\n");
}

}  // namespace
