// Replacing a file's content beside it: an abandoned replacement, a stale
// temporary file, links, and targets it refuses. A successful save (content,
// permission bits) and one in an unwritable folder are checked through the
// Ogg save tests, the one user of this class.
#include "core/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/temp_dir.h"

namespace {

class FileReplacementTest : public ::testing::Test {
protected:
    std::string Original(const std::string& name = "song.ogg") { return dir_.Write(name, std::string("old")); }
    static std::string Content(const std::string& path) {
        Bytes bytes = ReadBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
    static bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

    TempDir dir_;
};

bool WriteAll(std::FILE* file, const std::string& text) {
    return file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

TEST_F(FileReplacementTest, AbandonedReplacementLeavesNothingBehind) {
    std::string path = Original();
    {
        FileReplacement replacement(path, ".tmp");
        ASSERT_TRUE(WriteAll(replacement.Create(), "half"));
    }
    EXPECT_EQ(Content(path), "old");
    EXPECT_FALSE(Exists(path + ".tmp"));
}

TEST_F(FileReplacementTest, StaleTemporaryFileIsReplacedAndLinksAreFollowed) {
    std::string path = Original();
    dir_.Write("song.ogg.tmp", std::string("left by a crash"));
    std::string link = dir_.File("link.ogg");
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    FileReplacement replacement(link, ".tmp");
    ASSERT_TRUE(WriteAll(replacement.Create(), "through the link"));
    ASSERT_TRUE(replacement.Commit());
    EXPECT_EQ(Content(path), "through the link");
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_FALSE(Exists(path + ".tmp"));
}

TEST_F(FileReplacementTest, RefusesWhatItCannotReplace) {
    ASSERT_EQ(mkdir(dir_.File("folder").c_str(), 0755), 0);
    for (const std::string& target : {dir_.File("missing.ogg"), dir_.File("folder")}) {
        FileReplacement replacement(target, ".tmp");
        EXPECT_EQ(replacement.Create(), nullptr) << target;
        EXPECT_FALSE(replacement.Commit()) << target;
    }
}

}  // namespace
