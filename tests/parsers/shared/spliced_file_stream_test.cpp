// SplicedFileStream against a plain string doing the same edits: random
// writes, inserts, removals and truncations read back and saved the same (by
// rename, and in place where the file has a second name, which writes only
// what changed). Refused saves: mpeg_test, save_identity_test, save_block_sharing_test.
#include "parsers/shared/spliced_file_stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

std::string Text(const TagLib::ByteVector& bytes) {
    return std::string(bytes.data(), bytes.size());
}

TEST(SplicedFileStreamTest, RandomEditsReadAndSaveLikeTheSameEditsOnAString) {
    TempDir dir;
    std::mt19937 random(7);
    auto pick = [&](size_t limit) {
        return std::uniform_int_distribution<size_t>(0, limit)(random);
    };
    for (int round = 0; round < 20; ++round) {
        const Bytes pattern = PatternBytes(5000 + round * 300, round + 1);
        std::string model(pattern.begin(), pattern.end());
        const std::string path = dir.Write("song.mp3", model);
        const std::string secondName = dir.File("other.mp3");
        ASSERT_TRUE(round % 2 == 0 || link(path.c_str(), secondName.c_str()) == 0);
        SplicedFileStream stream(path);
        ASSERT_TRUE(stream.isOpen());
        for (int step = 0; step < 60; ++step) {
            const std::string data(pick(300), static_cast<char>('a' + step % 26));
            const TagLib::ByteVector bytes(data.data(), static_cast<unsigned int>(data.size()));
            const size_t at = pick(model.size()), span = pick(model.size() - at);
            switch (step % 5) {
                case 0:
                    stream.seek(static_cast<long>(at));
                    stream.writeBlock(bytes);
                    model.replace(at, std::min(data.size(), model.size() - at), data);
                    break;
                case 1:
                    stream.insert(bytes, at, span);
                    model.replace(at, span, data);
                    break;
                case 2:
                    stream.removeBlock(at, span);
                    model.erase(at, span);
                    break;
                case 3:
                    stream.truncate(static_cast<long>(at + span / 2));
                    model.resize(at + span / 2, '\0');
                    break;
                default:
                    stream.seek(-static_cast<long>(span), TagLib::IOStream::End);
                    ASSERT_EQ(Text(stream.readBlock(span + 10)), model.substr(model.size() - span));
            }
            ASSERT_EQ(stream.length(), static_cast<long>(model.size()));
            stream.seek(static_cast<long>(at));
            ASSERT_EQ(Text(stream.readBlock(span)), model.substr(at, span)) << round << "/" << step;
        }
        ASSERT_EQ(stream.Save(), SplicedFileStream::SaveResult::kSaved);
        const Bytes saved = ReadBytes(round % 2 ? secondName : path);
        EXPECT_EQ(std::string(saved.begin(), saved.end()), model) << round;
        // Read on from the saved file.
        stream.seek(0);
        EXPECT_EQ(Text(stream.readBlock(model.size() + 1)), model);
        EXPECT_FALSE(stream.Modified());
        unlink(secondName.c_str());
    }
}

}  // namespace
