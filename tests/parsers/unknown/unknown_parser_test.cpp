// The fallback parser through the exports: which names and files it takes,
// what it answers, and that nothing that is not a regular file ever blocks it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/parsers/parser_test_files.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"

namespace {

using UnknownParserTest = ModuleTest;

bool Opens(const std::string& path) { return OpenedFile(path).get() != nullptr; }

// Archive extensions are parts of one list, found case-sensitively; a name
// without an extension is refused like one.
TEST_F(UnknownParserTest, ArchiveExtensionsAreFoundAsCaseSensitiveSubstrings) {
    for (const char* name :
         {"pack.zip", "pack.rar", "pack.qvz", "pack.sab", "x.ar", "README", "dot."}) {
        EXPECT_FALSE(Opens(dir_.Write(name, std::string("data")))) << name;
    }
    for (const char* name : {"song.flac", "pack.ZIP", "x.zipx", "x.tar.gz"}) {
        EXPECT_TRUE(Opens(dir_.Write(name, std::string("data")))) << name;
    }
}

TEST_F(UnknownParserTest, AnswersTitleLengthsAndNoFields) {
    std::string path = dir_.Write("Live.Set.mp4", PatternBytes(5000));
    OpenedFile file(path);
    IBaseTag* handle = file.get();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(TagParserGetFileType(handle), 0);
    // Every kind is the title, even the one other parsers fill from a template.
    EXPECT_EQ(TagParserGetDescription(handle, 5, "%title%", 1), "Live.Set");
    EXPECT_EQ(TagParserGetDescriptionW(handle, 3, "", 0), L"Live.Set");
    for (int id : {0, 6, 7, 14, 26, 33, 36, 37}) EXPECT_EQ(TagParserGetData(handle, id), "");
    for (int kind : {0, 1, 2, 4, 6}) EXPECT_EQ(TagParserGetFileInfo(handle, kind), "");
    EXPECT_EQ(RangeOf(handle), Range(0, 5000, 5000));

    // The engine's seconds, cut towards zero.
    engine_.length = 187.9f;
    EXPECT_EQ(TagParserGetFileInfo(handle, 5), "187");
    engine_.length = -3.7f;
    EXPECT_EQ(TagParserGetFileInfo(handle, 5), "-3");
    EXPECT_EQ(engine_.lastWide, 0);
    EXPECT_EQ(engine_.lastPath, path);
}

// A backslash wins over slashes; a separator at the very end makes the whole
// path the file name. A Latin-1 name, not UTF-8, opens by the bytes it was given.
TEST_F(UnknownParserTest, SeparatorsDecideTheFileTitle) {
    for (const auto& [name, title] : {std::pair<std::string, std::string>{"a\\b.c.wav", "b.c"},
                                      {"x.y\\", dir_.path() + "/x"},
                                      {"caf\xE9.wav", "caf\xE9"}}) {
        OpenedFile file(dir_.Write(name, std::string("x")));
        EXPECT_EQ(TagParserGetDescription(file.get(), 0, "", 0), title) << name;
    }
}

TEST_F(UnknownParserTest, OnlyRegularReadableFilesOpenAndNothingBlocks) {
    std::string fifo = dir_.File("pipe.wav"), link = dir_.File("link.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Opens(fifo));
    EXPECT_FALSE(Opens(dir_.File("missing.wav")));
    ASSERT_EQ(symlink(dir_.Write("target.bin", std::string("abc")).c_str(), link.c_str()), 0);
    EXPECT_TRUE(Opens(link));

    std::string secret = dir_.Write("secret.wav", std::string("data"));
    ASSERT_EQ(chmod(secret.c_str(), 0000), 0);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    // Root reads anything: an unreadable file is tried as an unprivileged user.
    EXPECT_EQ(RunInChild([&] { return Opens(secret) ? 1 : 0; }, true), 0);
}

// A wide path is spelt in UTF-8 (the C locale's code page): never by dropping
// what a code page lacks (which would open the decoy), and the engine is asked
// in the path's own width.
TEST_F(UnknownParserTest, WidePathsKeepTheirWidthAndCharactersOutsideTheBasicPlane) {
    dir_.Write("tr\u00E4ck-\U0001F3B5.mp4", PatternBytes(777));
    dir_.Write("tr\u00E4ck-.mp4", PatternBytes(10));
    std::wstring wide =
        std::wstring(dir_.path().begin(), dir_.path().end()) + L"/tr\u00E4ck-\U0001F3B5.mp4";
    OpenedFile file(wide);
    ASSERT_NE(file.get(), nullptr);
    EXPECT_EQ(std::get<2>(RangeOf(file.get())), 777);
    EXPECT_EQ(TagParserGetDescriptionW(file.get(), 0, "", 0), L"tr\u00E4ck-\U0001F3B5");
    TagParserGetFileInfo(file.get(), 5);
    EXPECT_EQ(engine_.lastWide, 1);
    EXPECT_EQ(engine_.lastWidePath, wide);
}

}  // namespace
