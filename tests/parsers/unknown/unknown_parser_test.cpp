// The fallback parser through the exports: which names and files it takes,
// what it answers, and that nothing that is not a regular file ever blocks it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/locale_guard.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"

namespace {

class UnknownParserTest : public ModuleTest {
protected:
    void SetUp() override { engine_.length = 0; }
};

bool Opens(const std::string& path) { return OpenedFile(path).get() != nullptr; }

TEST_F(UnknownParserTest, ArchiveExtensionsAreFoundAsCaseSensitiveSubstrings) {
    struct Case {
        const char* name;
        bool opens;
    } cases[] = {
        {"song.flac", true}, {"pack.zip", false}, {"pack.rar", false}, {"pack.qvz", false},
        {"pack.sab", false}, {"pack.ZIP", true},  {"x.ar", false},     {"x.z", false},
        {"README", false},   {"dot.", false},     {"x.zipx", true},    {"x.tar.gz", true},
        {"a.b.zip", false},  {"song.mp3 ", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Opens(dir_.Write(c.name, std::string("data"))), c.opens) << c.name;
    }
}

TEST_F(UnknownParserTest, AnswersTitleLengthsAndNoFields) {
    std::string path = dir_.Write("Live.Set.mp4", PatternBytes(5000));
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(TagParserGetFileType(handle), 0);
    for (int kind : {0, 5, 7, 9, 10, -1}) {
        EXPECT_EQ(TagParserGetDescription(handle, kind, "%title%", 1), "Live.Set") << kind;
    }
    EXPECT_EQ(TagParserGetDescriptionW(handle, 3, "", 0), L"Live.Set");
    for (int id : {0, 6, 7, 14, 26, 33, 36, 37}) EXPECT_EQ(TagParserGetData(handle, id), "");
    int start = -1, end = -1;
    EXPECT_EQ(TagParserGetSourceLength(handle, &start, &end), 5000);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 5000);

    struct Length {
        float seconds;
        const char* text;
    } lengths[] = {{187.9f, "187"}, {0.4f, "0"}, {-3.7f, "-3"}, {3600.0f, "3600"}};
    for (const auto& l : lengths) {
        engine_.length = l.seconds;
        EXPECT_EQ(TagParserGetFileInfo(handle, 5), l.text) << l.seconds;
    }
    EXPECT_EQ(engine_.lastWide, 0);
    EXPECT_EQ(engine_.lastPath, path);
    for (int kind : {0, 1, 2, 4, 6}) EXPECT_EQ(TagParserGetFileInfo(handle, kind), "");
    TagParserCloseFile(handle);
}

TEST_F(UnknownParserTest, SeparatorsDecideTheFileTitle) {
    // A backslash wins over slashes; a separator at the very end makes the
    // whole path the file name.
    struct Case {
        std::string name;
        std::string title;
    } cases[] = {
        {"a\\b.c.wav", "b.c"},
        {"plain.wav", "plain"},
        {"x.y\\", dir_.path() + "/x"},
    };
    for (const auto& c : cases) {
        OpenedFile file(dir_.Write(c.name, std::string("x")));
        EXPECT_EQ(TagParserGetDescription(file.get(), 0, "", 0), c.title) << c.name;
    }
}

TEST_F(UnknownParserTest, OnlyRegularReadableFilesOpenAndNothingBlocks) {
    std::string fifo = dir_.File("pipe.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string device = dir_.File("zero.wav");
    ASSERT_EQ(symlink("/dev/zero", device.c_str()), 0);
    std::string folder = dir_.File("folder.wav");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    for (const std::string& path : {fifo, device, folder, dir_.File("missing.wav")}) {
        EXPECT_FALSE(Opens(path)) << path;
    }
    std::string link = dir_.File("link.wav");
    ASSERT_EQ(symlink(dir_.Write("target.bin", std::string("abc")).c_str(), link.c_str()), 0);
    EXPECT_TRUE(Opens(link));

    std::string secret = dir_.Write("secret.wav", std::string("data"));
    ASSERT_EQ(chmod(secret.c_str(), 0000), 0);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    // Root reads anything: an unreadable file is tried as an unprivileged user.
    EXPECT_EQ(RunInChild([&] { return Opens(secret) ? 1 : 0; }, true), 0);
}

TEST_F(UnknownParserTest, WidePathsKeepTheirWidthAndCharactersOutsideTheBasicPlane) {
    std::string utf8Name =
        "tr\xC3\xA4"
        "ck-\xF0\x9F\x8E\xB5.mp4";
    std::string path = dir_.Write(utf8Name, PatternBytes(777));
    dir_.Write(
        "tr\xC3\xA4"
        "ck-.mp4",
        PatternBytes(10));
    std::wstring wide =
        std::wstring(dir_.path().begin(), dir_.path().end()) + L"/tr\u00E4ck-\U0001F3B5.mp4";
    for (const char* locale : {"C", "C.UTF-8"}) {
        ThreadLocale guard(locale);
        ASSERT_TRUE(guard.ok());
        IBaseTag* handle = TagParserOpenFileW(wide.c_str());
        ASSERT_NE(handle, nullptr) << locale;
        int start = 0, end = 0;
        EXPECT_EQ(TagParserGetSourceLength(handle, &start, &end), 777);
        EXPECT_EQ(TagParserGetDescriptionW(handle, 0, "", 0), L"tr\u00E4ck-\U0001F3B5");
        TagParserGetFileInfo(handle, 5);
        EXPECT_EQ(engine_.lastWide, 1);
        EXPECT_EQ(engine_.lastWidePath, wide);
        TagParserCloseFile(handle);

        handle = TagParserOpenFile(path.c_str());  // narrow UTF-8 bytes, as the shell gives them
        ASSERT_NE(handle, nullptr) << locale;
        EXPECT_EQ(TagParserGetDescription(handle, 0, "", 0),
                  "tr\xC3\xA4"
                  "ck-\xF0\x9F\x8E\xB5");
        TagParserCloseFile(handle);
    }
}

TEST_F(UnknownParserTest, NarrowPathsOpenByTheirOwnBytes) {
    // A Latin-1 name is not UTF-8: its wide form holds U+FFFD, but the parser
    // still opens the file by the bytes it was given.
    std::string path = dir_.Write("caf\xE9.wav", PatternBytes(64));
    OpenedFile file(path);
    EXPECT_EQ(TagParserGetDescription(file.get(), 0, "", 0), "caf\xE9");
    EXPECT_EQ(TagParserGetDescriptionW(file.get(), 0, "", 0), L"caf\uFFFD");
}

}  // namespace
