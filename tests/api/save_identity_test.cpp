// What a save through the exports does to the file as a thing on disk, for
// MP3, Ogg Vorbis and WMA alike: a file the user may not write is left alone;
// one written through its group, through an ACL, under several names, with
// attributes the user cannot copy, or in a folder the user may not write is
// saved in place, keeping its inode, owner, group, mode and attributes, and
// leaving no safety copy behind; a file deleted, replaced or changed after the
// open is never written; and a handle answers from, and saves again over, the
// file it wrote. Unprivileged saves run in forked children, so that the
// kernel's permission checks apply although the tests run as root.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/module_test.h"
#include "tests/support/process.h"
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

const Format kFormats[] = {{"mp3", MakeMp3Sample}, {"ogg", OggSample}, {"wma", MakeWmaSample}};

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

// Records `title` as the change to save. An MP3 handle writes only the tags
// switched on, so both are.
void SetTitle(IBaseTag* handle, const std::string& title) {
    TagParserSetData(handle, FIELD_TITLE, title.c_str());
    if (TagParserGetFileType(handle) == FILE_TYPE_MP3) {
        TagParserSetData(handle, FIELD_HAS_ID3V1, "Y");
        TagParserSetData(handle, FIELD_HAS_ID3V2, "Y");
    }
}

// Opens `path`, changes its title and saves: ApplyFile's result, 9 when the
// file does not open.
int SaveTitle(const std::string& path, const std::string& title) {
    OpenedFile file(path);
    if (!file.get()) return 9;
    SetTitle(file.get(), title);
    return TagParserApplyFile(file.get());
}

std::string TitleOf(const std::string& path) {
    return TagParserGetData(OpenedFile(path).get(), FIELD_TITLE);
}

struct stat StatOf(const std::string& path) {
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0) info.st_ino = 0;
    return info;
}

// Owner, group and mode, and which file: what a save must not change.
std::string Identity(const struct stat& info) {
    return std::to_string(info.st_uid) + ":" + std::to_string(info.st_gid) + " " +
           std::to_string(info.st_mode) + " #" + std::to_string(info.st_ino);
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

// An access ACL in the kernel's form: the owner, the unprivileged user and
// the mask may read and write, the group and others read.
std::string AclLettingTheUserWrite() {
    std::string acl;
    auto put = [&acl](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) acl.push_back(static_cast<char>(value >> 8 * i & 0xFF));
    };
    put(2, 4);  // version
    const uint32_t kAnyone = 0xFFFFFFFF;
    const uint32_t entries[][3] = {{0x01, 6, kAnyone},
                                   {0x02, 6, kNobodyId},
                                   {0x04, 4, kAnyone},
                                   {0x10, 6, kAnyone},
                                   {0x20, 4, kAnyone}};
    for (const auto& entry : entries) {
        put(entry[0], 2);
        put(entry[1], 2);
        put(entry[2], 4);
    }
    return acl;
}

// Runs `body` in a child as the unprivileged user, with `group` as its only
// supplementary group (none when 0); its exit status, 126 when it could not
// become that user.
int RunAsUser(const std::function<int()>& body, gid_t group = 0) {
    return RunInChild([&] {
        gid_t groups[] = {group};
        if (setgroups(group ? 1 : 0, groups) != 0 ||
            setresgid(kNobodyId, kNobodyId, kNobodyId) != 0 ||
            setresuid(kNobodyId, kNobodyId, kNobodyId) != 0) {
            return 126;
        }
        return body();
    });
}

class SaveIdentityTest : public ModuleTest {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "only root can save as another user";
        // The folder the unprivileged user works in: anyone may write it.
        ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
    }
};

TEST_F(SaveIdentityTest, UnwritableFilesAreLeftAndGroupWritableOnesSavedInPlace) {
    struct Case {
        const char* what;
        uid_t owner;
        gid_t group;
        mode_t mode;
        gid_t userGroup;  // the user's supplementary group
        int saved;
    } cases[] = {
        {"the user's own read-only file", kNobodyId, kNobodyId, 0444, 0, 0},
        {"writable through a group the user is in", 0, kSharedGroup, 0664, kSharedGroup, 1},
        {"writable through a group the user is not in", 0, kSharedGroup, 0664, 0, 0},
    };
    for (const Format& format : kFormats) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(format.extension) + ": " + c.what);
            const std::string name = std::string("song.") + format.extension;
            std::string path = Place(dir_.File(name), format.make(), c.owner, c.group, c.mode);
            const Bytes before = ReadBytes(path);
            const std::string identity = Identity(StatOf(path));
            EXPECT_EQ(RunAsUser([&] { return SaveTitle(path, "Saved by the user"); }, c.userGroup),
                      c.saved);
            EXPECT_EQ(Identity(StatOf(path)), identity);
            if (c.saved) {
                EXPECT_EQ(TitleOf(path), "Saved by the user");
            } else {
                EXPECT_TRUE(ReadBytes(path) == before);
            }
            EXPECT_EQ(dir_.Names(), std::vector<std::string>{name});
            unlink(path.c_str());
        }
    }
}

TEST_F(SaveIdentityTest, EveryNameOfAFileShowsTheSave) {
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.extension);
        std::string first =
            Place(dir_.File(std::string("first.") + format.extension), format.make());
        std::string second = dir_.File(std::string("second.") + format.extension);
        ASSERT_EQ(link(first.c_str(), second.c_str()), 0);
        const ino_t inode = StatOf(first).st_ino;
        EXPECT_EQ(SaveTitle(first, "Linked"), 1);
        EXPECT_EQ(TitleOf(second), "Linked");
        EXPECT_EQ(StatOf(first).st_ino, inode);
        EXPECT_EQ(StatOf(second).st_ino, inode);
        EXPECT_EQ(StatOf(second).st_nlink, 2u);
        EXPECT_EQ(dir_.Names().size(), 2u);
        unlink(first.c_str());
        unlink(second.c_str());
    }
}

// Root copies every attribute onto the new file; the user cannot give the
// file back to root, nor set a security attribute, and so saves in place.
TEST_F(SaveIdentityTest, ExtendedAttributesAndAclsAreKept) {
    struct Case {
        const char* what;
        uid_t owner;
        const char* attribute;
        bool acl;
        bool byUser;
    } cases[] = {
        {"saved by root", 0, "user.lyparser.test", true, false},
        {"saved by a user the ACL lets write", 0, "user.lyparser.test", true, true},
        {"saved by its owner, who may not set the attribute", kNobodyId, "security.lyparser.test",
         false, true},
    };
    const std::string acl = AclLettingTheUserWrite();
    // Case by case, so that a file system refusing an attribute skips the least.
    for (const Case& c : cases) {
        for (const Format& format : kFormats) {
            SCOPED_TRACE(std::string(format.extension) + ": " + c.what);
            const std::string name = std::string("song.") + format.extension;
            std::string path = Place(dir_.File(name), format.make(), c.owner, c.owner);
            for (const auto& [attribute, value] :
                 {std::pair<std::string, std::string>(c.attribute, "kept"),
                  {c.acl ? "system.posix_acl_access" : "", acl}}) {
                if (attribute.empty() ||
                    setxattr(path.c_str(), attribute.c_str(), value.data(), value.size(), 0) == 0) {
                    continue;
                }
                if (errno == ENOTSUP) GTEST_SKIP() << "the file system refuses " << attribute;
                FAIL() << "cannot set " << attribute << ": " << strerror(errno);
            }
            const auto attributes = AttributesOf(path);
            const struct stat before = StatOf(path);
            auto save = [&] { return SaveTitle(path, "Attributed"); };
            EXPECT_EQ(c.byUser ? RunAsUser(save) : save(), 1);
            EXPECT_EQ(TitleOf(path), "Attributed");
            EXPECT_EQ(AttributesOf(path), attributes);
            const struct stat after = StatOf(path);
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(after.st_uid, before.st_uid);
            if (c.byUser) {
                EXPECT_EQ(after.st_ino, before.st_ino);
            }
            EXPECT_EQ(dir_.Names(), std::vector<std::string>{name});
            unlink(path.c_str());
        }
    }
}

TEST_F(SaveIdentityTest, FileInAReadOnlyFolderIsSavedInPlaceWithoutLeavingASafetyCopy) {
    TempDir scratch;  // the user's temporary folder
    ASSERT_EQ(chmod(scratch.path().c_str(), 0777), 0);
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.extension);
        const std::string name = std::string("song.") + format.extension;
        ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
        std::string path = Place(dir_.File(name), format.make(), kNobodyId, kNobodyId);
        ASSERT_EQ(chmod(dir_.path().c_str(), 0555), 0);
        const std::string identity = Identity(StatOf(path));
        int saved = RunAsUser([&] {
            setenv("TMPDIR", scratch.path().c_str(), 1);
            return SaveTitle(path, "Locked in");
        });
        EXPECT_EQ(saved, 1);
        EXPECT_EQ(TitleOf(path), "Locked in");
        EXPECT_EQ(Identity(StatOf(path)), identity);
        EXPECT_EQ(dir_.Names(), std::vector<std::string>{name});
        EXPECT_EQ(scratch.Names(), std::vector<std::string>{});
        ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
        unlink(path.c_str());
    }
}

TEST_F(SaveIdentityTest, FileChangedSinceTheOpenIsNeverWritten) {
    struct Case {
        const char* what;
        bool twoNames;  // so that a save elsewhere keeps the inode: only the size and time tell
        std::function<void(const std::string&)> interfere;
    } cases[] = {
        {"deleted", false, [](const std::string& path) { unlink(path.c_str()); }},
        {"replaced by another file", false,
         [](const std::string& path) {
             WriteBytes(path + ".other", ReadBytes(path));
             rename((path + ".other").c_str(), path.c_str());
         }},
        {"appended to", false,
         [](const std::string& path) {
             FILE* file = fopen(path.c_str(), "ab");
             fputc(0, file);
             fclose(file);
         }},
        {"saved through another handle", false,
         [](const std::string& path) { EXPECT_EQ(SaveTitle(path, "Other handle"), 1); }},
        {"saved in place through another handle", true,
         [](const std::string& path) { EXPECT_EQ(SaveTitle(path, "Other handle"), 1); }},
    };
    for (const Format& format : kFormats) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(format.extension) + ": " + c.what);
            std::string path =
                Place(dir_.File(std::string("song.") + format.extension), format.make());
            if (c.twoNames) {
                ASSERT_EQ(link(path.c_str(), dir_.File("other name").c_str()), 0);
            }
            OpenedFile file(path);
            ASSERT_NE(file.get(), nullptr);
            SetTitle(file.get(), "This handle");
            c.interfere(path);
            const bool exists = access(path.c_str(), F_OK) == 0;
            const Bytes left = exists ? ReadBytes(path) : Bytes();
            const ino_t inode = StatOf(path).st_ino;
            EXPECT_EQ(TagParserApplyFile(file.get()), 0);
            EXPECT_EQ(access(path.c_str(), F_OK) == 0, exists);
            if (exists) {
                EXPECT_TRUE(ReadBytes(path) == left);
                EXPECT_EQ(StatOf(path).st_ino, inode);
            }
            EXPECT_EQ(dir_.Names().size(), (exists ? 1u : 0u) + (c.twoNames ? 1u : 0u));
            unlink(path.c_str());
            unlink(dir_.File("other name").c_str());
        }
    }
}

TEST_F(SaveIdentityTest, HandleAnswersFromAndSavesAgainOverTheFileItWrote) {
    for (const Format& format : kFormats) {
        for (bool twoNames : {false, true}) {  // saved by rename, and in place
            SCOPED_TRACE(std::string(format.extension) + (twoNames ? ", two names" : ", one name"));
            const std::string path = dir_.File(std::string("song.") + format.extension);
            const std::string other = dir_.File(std::string("other.") + format.extension);
            Place(path, format.make());
            if (twoNames) {
                ASSERT_EQ(link(path.c_str(), other.c_str()), 0);
            }
            OpenedFile file(path);
            SetTitle(file.get(), "First save");
            ASSERT_EQ(TagParserApplyFile(file.get()), 1);
            EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "First save");
            SetTitle(file.get(), "Second");
            EXPECT_EQ(TagParserApplyFile(file.get()), 1);
            EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Second");
            EXPECT_EQ(TitleOf(path), "Second");
            if (twoNames) {
                EXPECT_EQ(TitleOf(other), "Second");
            }
            unlink(path.c_str());
            unlink(other.c_str());
        }
    }
}

// Frames whose header the texts show only once the audio was searched: CRC
// protected, 50/15 ms emphasis, and a Xing header in the first frame. The
// ID3v2 tag has room to spare, so that a save keeps the file's size.
Bytes Mp3WithDistinctFrames() {
    Bytes frames = MakeMpegFrames(0xFFFA9001u, kMp3FrameLength128k, 40);
    const unsigned char xing[] = {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0, 0, 0, 39};
    std::copy(std::begin(xing), std::end(xing), frames.begin() + 4 + 2 + 32);
    Bytes out = MakeId3v23Tag({{"TIT2", "Searched"}});
    const size_t tagSize = out.size() - 10 + 1000;
    out.resize(out.size() + 1000, 0);
    for (int i = 0; i < 4; ++i) out[6 + i] = tagSize >> 7 * (3 - i) & 0x7F;
    out.insert(out.end(), frames.begin(), frames.end());
    Bytes id3v1 = MakeId3v1Tag("Searched", "", "", "", "", 1, 0);
    out.insert(out.end(), id3v1.begin(), id3v1.end());
    return out;
}

TEST_F(SaveIdentityTest, Mp3TextsAfterASaveStillComeFromTheAudioSearch) {
    std::string path = Place(dir_.File("searched.mp3"), Mp3WithDistinctFrames());
    OpenedFile file(path);
    int start = 0, end = 0;
    TagParserGetSourceLength(file.get(), &start, &end);
    const int kinds[] = {0, 6, 13, 14};
    std::map<int, std::string> before;
    for (int kind : kinds) before[kind] = TagParserGetFileInfo(file.get(), kind);
    EXPECT_EQ(before[6] + " " + before[13] + " " + before[14], "YES YES 50/15 ms");
    SetTitle(file.get(), "Saved");
    ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    for (int kind : kinds) EXPECT_EQ(TagParserGetFileInfo(file.get(), kind), before[kind]) << kind;
}

// Whether the MP3 file at argv[1] has an ID3v2 tag, and its ID3v1 title, as
// mutagen reads them: "ID3v2 | Title" or "no ID3v2 | Title".
constexpr char kMutagenTags[] =
    "import sys\nfrom mutagen.id3 import ID3, ID3NoHeaderError, ParseID3v1\n"
    "try:\n    ID3(sys.argv[1], load_v1=False); v2 = 'ID3v2'\n"
    "except ID3NoHeaderError:\n    v2 = 'no ID3v2'\n"
    "v1 = ParseID3v1(open(sys.argv[1], 'rb').read()[-128:]) or {}\n"
    "print(v2, '|', v1['TIT2'].text[0] if 'TIT2' in v1 else '-', end='')\n";

// The same from the bytes, where mutagen is missing.
std::string TagsFromBytes(const std::string& path) {
    const Bytes data = ReadBytes(path);
    const std::string head(data.begin(), data.begin() + 3);
    const std::string title(data.end() - 125, data.end() - 95);
    return std::string(head == "ID3" ? "ID3v2" : "no ID3v2") + " | " +
           title.substr(0, title.find('\0'));
}

TEST_F(SaveIdentityTest, Mp3StripIsWrittenAtOnceAndEarlierChangesStayPending) {
    std::string path = Place(dir_.File("strip.mp3"), MakeMp3Sample());
    const bool mutagen = HaveMutagen();
    auto tags = [&] { return mutagen ? RunPython(kMutagenTags, {path}).out : TagsFromBytes(path); };
    ASSERT_EQ(tags(), "ID3v2 | Morning Tone");
    OpenedFile file(path);
    TagParserSetData(file.get(), FIELD_TITLE, "Pending");
    TagParserSetData(file.get(), FIELD_HAS_ID3V1, "Y");
    TagParserSetData(file.get(), FIELD_HAS_ID3V2, "N");
    EXPECT_EQ(tags(), "no ID3v2 | Morning Tone");
    EXPECT_EQ(TagParserApplyFile(file.get()), 1);
    EXPECT_EQ(tags(), "no ID3v2 | Pending");
}

}  // namespace
