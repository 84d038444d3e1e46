// MD5: streaming in odd pieces, and file digests of byte ranges, all checked
// against coreutils' md5sum.
#include "core/md5.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace {

// Updates in pieces of any size give md5sum's digest of the whole.
TEST(Md5Test, PiecewiseUpdatesMatchMd5sum) {
    const Bytes data = PatternBytes(1000, 7);
    for (size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 127u, 1000u}) {
        Md5 md5;
        for (size_t at = 0; at < data.size(); at += piece)
            md5.Update(data.data() + at, std::min(piece, data.size() - at));
        unsigned char digest[Md5::kDigestSize];
        md5.Finish(digest);
        EXPECT_EQ(MD5ToHex(digest), Md5sum(data)) << piece;
    }
}

// The digest reads in large blocks: ranges that start, end or stop short
// inside one, empty and negative ranges, and ranges past the end of the file
// hash exactly their bytes.
TEST(Md5Test, FileRangesMatchMd5sumOfTheSameBytes) {
    TempDir dir;
    const int kBlock = 256 * 1024;
    Bytes data = PatternBytes(3 * kBlock + 1000, 4);
    std::string path = dir.Write("large.bin", data);
    const int size = static_cast<int>(data.size());
    struct Case {
        int offset;
        int count;
    } cases[] = {{0, kBlock + 1}, {kBlock - 1, 2}, {100, 2 * kBlock + 7}, {100, 50},
                 {0, 0},          {0, -5},         {size - 1, 5},         {size + 10, 10},
                 {0, 2000000000}, {-1, kBlock + 3}};
    for (const auto& c : cases) {
        size_t offset = c.offset < 0 ? 0 : static_cast<size_t>(c.offset);
        size_t count = c.count < 0 ? 0 : static_cast<size_t>(c.count);
        std::string expected = Md5sum(data, offset, count);
        EXPECT_EQ(MD5File(path.c_str(), c.offset, c.count), expected) << c.offset << "+" << c.count;
    }
}

// Only regular files are read, and a wide path reaches the file its
// characters name, even outside the basic plane.
TEST(Md5Test, NamesOfWhatIsNoReadableFileGiveEmptyText) {
    TempDir dir;
    std::string fifo = dir.File("pipe");
    std::string missing = dir.File("missing");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const char* paths[] = {fifo.c_str(), "/dev/zero", dir.path().c_str(), missing.c_str(), nullptr};
    for (const char* path : paths) {
        EXPECT_EQ(MD5File(path, 0, 10), "") << (path ? path : "null");  // the FIFO returns at once
    }
    EXPECT_EQ(MD5FileW(nullptr, 0, 10), "");
    Bytes data = PatternBytes(300, 9);
    dir.Write("song-\xF0\x9F\x8E\xB5.bin", data);
    dir.Write("song-.bin", PatternBytes(300, 10));
    std::wstring wide =
        std::wstring(dir.path().begin(), dir.path().end()) + L"/song-\U0001F3B5.bin";
    EXPECT_EQ(MD5FileW(wide.c_str(), 10, 290), Md5sum(data, 10, 290));
}

}  // namespace
