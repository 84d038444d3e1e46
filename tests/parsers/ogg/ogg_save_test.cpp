// Saving Ogg Vorbis files through the exports: what the rewritten file holds,
// read back by us, libvorbis and mutagen; that the audio and what follows the
// stream survive; and that a save failing at any step changes nothing.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "tests/support/module_test.h"
#include "tests/support/ogg_fixtures.h"
#include "tests/support/process.h"

namespace {

class OggSaveTest : public ModuleTest {
protected:
    static std::vector<int16_t> Pcm(const std::string& path) {
        std::vector<int16_t> samples;
        EXPECT_TRUE(DecodePcm(path, &samples)) << path;
        return samples;
    }
    static bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

    // Opens `path`, lets `change` record changes, saves; returns ApplyFile's result.
    static int Save(const std::string& path, const std::function<void(IBaseTag*)>& change) {
        OpenedFile file(path);
        if (!file.get()) return -1;
        change(file.get());
        return TagParserApplyFile(file.get());
    }
};

TEST_F(OggSaveTest, SaveWritesKnownFieldsFirstAndKeepsEverythingElse) {
    OggFixture fixture;
    fixture.seconds = 1.5;
    fixture.vendor = "Kept vendor";
    fixture.comments = {"Title=Old", "ENCODER=enc", "ARTIST=Art", "TITLE=dup", "bare", "COMMENT=c"};
    std::string path = dir_.Write("keep.ogg", MakeOgg(fixture));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::vector<int16_t> before = Pcm(path);
    int result = Save(path, [](IBaseTag* h) {
        TagParserSetDataW(h, 0, L"New 🎵");
        TagParserSetData(h, 2, u8"Narrow Ä");
        TagParserSetExData(h, "MOOD", "calm");
        TagParserSetDataW(h, 26, L"la\nla");
    });
    ASSERT_EQ(result, 1);
    std::string vendor;
    EXPECT_EQ(ReadCommentTexts(path, &vendor),
              (std::vector<std::string>{u8"Title=New 🎵", "ARTIST=Art", "TITLE=dup", "COMMENT=c", u8"ALBUM=Narrow Ä",
                                        "LYRICS=la\nla", "ENCODER=enc", "=bare", "MOOD=calm"}));
    EXPECT_EQ(vendor, "Kept vendor");
    EXPECT_EQ(Pcm(path), before);
    OggPageReport pages = InspectPages(ReadBytes(path));
    EXPECT_EQ(pages.badPages, 0);
    EXPECT_TRUE(pages.granulesRise);
    EXPECT_FALSE(Exists(path + ".tmp"));
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    OpenedFile reopened(path);
    EXPECT_EQ(TagParserGetDataW(reopened.get(), 0), L"New 🎵");
    EXPECT_EQ(TagParserGetExData(reopened.get(), ""), "ENCODER,,MOOD,");
}

TEST_F(OggSaveTest, AnIndependentReaderSeesTheNewComments) {
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is not installed";
    OggFixture fixture;
    fixture.vendor = "Xiph.Org libVorbis I 20020717";
    fixture.comments = {"ENCODER=x", "TITLE=t"};
    std::string path = dir_.Write("mutagen.ogg", MakeOgg(fixture));
    std::wstring widePath(path.begin(), path.end());
    IBaseTag* handle = TagParserOpenFileW(widePath.c_str());
    ASSERT_NE(handle, nullptr);
    TagParserSetDataW(handle, 0, L"Ünïcödé 🎵 𝄞");
    TagParserSetDataW(handle, 1, L"日本の歌手");
    ASSERT_EQ(TagParserApplyFile(handle), 1);
    TagParserCloseFile(handle);
    MutagenTags tags = ReadWithMutagen(path);
    ASSERT_TRUE(tags.ok);
    EXPECT_EQ(tags.vendor, fixture.vendor);
    EXPECT_EQ(tags.comments, (std::vector<std::string>{u8"TITLE=Ünïcödé 🎵 𝄞", u8"ARTIST=日本の歌手", "ENCODER=x"}));
}

TEST_F(OggSaveTest, HeadersShrinkAndGrowByPagesWithTheAudioIntact) {
    OggFixture fixture;
    fixture.seconds = 2;
    fixture.comments = {"TITLE=Paged", "NOTE=" + std::string(3000, 'n')};
    std::string path = dir_.Write("pages.ogg", MakeOggWithSmallHeaderPages(fixture, 300));
    std::vector<int16_t> before = Pcm(path);
    int headerPagesBefore = InspectPages(ReadBytes(path)).pages - InspectPages(MakeOgg(fixture)).pages;
    ASSERT_GE(headerPagesBefore, 8);

    ASSERT_EQ(Save(path, [](IBaseTag* h) { TagParserSetExData(h, "NOTE", "short"); }), 1);
    EXPECT_EQ(InspectPages(ReadBytes(path)).pages, InspectPages(MakeOgg(fixture)).pages);
    EXPECT_EQ(Pcm(path), before);

    ASSERT_EQ(Save(path, [](IBaseTag* h) { TagParserSetExData(h, "COVERART", std::string(300 * 1024, 'c').c_str()); }),
              1);
    Bytes grown = ReadBytes(path);
    EXPECT_GE(InspectPages(grown).pages, InspectPages(MakeOgg(fixture)).pages + 4);
    EXPECT_EQ(InspectPages(grown).badPages, 0);
    EXPECT_EQ(Pcm(path), before);
    EXPECT_EQ(ReadCommentTexts(path).back().size(), 9 + 300 * 1024u);
    // Such a header is too large for the marker search of an open by name.
    EXPECT_EQ(TagParserOpenFile(path.c_str()), nullptr);
}

TEST_F(OggSaveTest, ChainedStreamIsKeptByteForByte) {
    OggFixture first, second;
    first.comments = {"TITLE=one"};
    second.serial = 99;
    second.channels = 1;
    second.comments = {"TITLE=two"};
    Bytes tail = MakeOgg(second), file = MakeOgg(first);
    file.insert(file.end(), tail.begin(), tail.end());
    std::string path = dir_.Write("chain.ogg", file);
    ASSERT_EQ(Save(path, [](IBaseTag* h) { TagParserSetDataW(h, 0, L"first, renamed"); }), 1);
    Bytes saved = ReadBytes(path);
    ASSERT_GT(saved.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), saved.end() - static_cast<long>(tail.size())));
    EXPECT_EQ(ReadCommentTexts(path), std::vector<std::string>{"TITLE=first, renamed"});
}

// Each case breaks one step of a save; the original must stay as it was.
TEST_F(OggSaveTest, FailedSaveLeavesTheOriginalAndNoTemporaryFile) {
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    OggFixture fixture;
    fixture.seconds = 2;
    fixture.comments = {"TITLE=Original"};
    Bytes good = MakeOgg(fixture), corrupt = good;
    corrupt[22] ^= 0xff;  // the first page's checksum
    auto change = [](IBaseTag* h) { TagParserSetDataW(h, 0, L"Changed"); };
    struct Case {
        const char* what;
        Bytes data;
        std::function<int(const std::string&)> save;  // ApplyFile's result
    } cases[] = {
        {"corrupt stream", corrupt, [&](const std::string& path) { return Save(path, change); }},
        {"unwritable folder", good,
         [&](const std::string& path) {
             // Root ignores permission bits, so the child then runs as an unprivileged user.
             bool asRoot = geteuid() == 0;
             chmod(dir_.File("locked").c_str(), asRoot ? 0755 : 0555);
             return RunInChild([&] { return Save(path, change); }, asRoot);
         }},
        {"disk full", good,
         [&](const std::string& path) {
             return RunInChild([&] {
                 std::signal(SIGXFSZ, SIG_IGN);
                 rlim_t half = good.size() / 2;
                 struct rlimit limit = {half, half};
                 if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 99;
                 return Save(path, change);
             });
         }},
        {"temporary name taken by a folder", good,
         [&](const std::string& path) {
             mkdir((path + ".tmp").c_str(), 0755);
             int result = Save(path, change);
             rmdir((path + ".tmp").c_str());
             return result;
         }},
    };
    ASSERT_EQ(mkdir(dir_.File("locked").c_str(), 0755), 0);
    for (const auto& c : cases) {
        std::string path = std::string(c.what) == "unwritable folder" ? dir_.File("locked/song.ogg")
                                                                      : dir_.File("song.ogg");
        WriteBytes(path, c.data);
        ASSERT_EQ(chmod(path.c_str(), 0644), 0);
        EXPECT_EQ(c.save(path), 0) << c.what;
        EXPECT_EQ(ReadBytes(path), c.data) << c.what;
        EXPECT_FALSE(Exists(path + ".tmp")) << c.what;
    }
}

TEST_F(OggSaveTest, FileGoneBeforeTheSaveFails) {
    std::string path = dir_.Write("gone.ogg", MakeOgg(OggFixture{}));
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    ASSERT_NE(handle, nullptr);
    TagParserSetDataW(handle, 0, L"x");
    ASSERT_EQ(unlink(path.c_str()), 0);
    EXPECT_EQ(TagParserApplyFile(handle), 0);
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Exists(path + ".tmp"));
    TagParserCloseFile(handle);
}

}  // namespace
