// MP4 files through the exports: a save that grows the metadata in front of
// the audio moves every chunk offset with it; atoms a change does not touch
// keep their bytes and places.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/module_test.h"
#include "tools/samples/mp4_sample.h"

namespace {

uint64_t ReadBig(const Bytes& data, size_t at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | data[at + i];
    return value;
}

// Offset of the first atom named `name` (its size field).
size_t Find(const Bytes& file, const char* name) {
    const std::string key = name;
    return std::search(file.begin(), file.end(), key.begin(), key.end()) - file.begin() - 4;
}

// An M4A file titled "Old" whose three chunk offsets (in a `table` atom,
// stco or co64) point 0, 1000 and 2000 bytes into the audio, plus `bias`.
Bytes Mp4(const char* table, bool moovFirst, uint64_t bias) {
    Mp4Layout layout;
    layout.offsetTable = table;
    layout.moovFirst = moovFirst;
    layout.offsetBias = bias;
    layout.items = {Mp4TextItem("\xA9nam", "Old")};
    return MakeMp4(layout);
}

using Mp4Test = ModuleTest;

// A refusal (32-bit offsets that would overflow): failure_reasons_test.
TEST_F(Mp4Test, GrowingInFrontOfTheAudioMovesEveryChunkOffset) {
    const uint64_t nearTop = 0xFFFFFFFFull - 4000;  // a file just under 4 GiB
    const struct {
        const char* table;
        bool moovFirst;
        uint64_t bias;
    } cases[] = {{"stco", true, 0}, {"co64", true, 0}, {"stco", false, 0}, {"co64", true, nearTop}};
    for (const auto& c : cases) {
        const Bytes original = Mp4(c.table, c.moovFirst, c.bias);
        const std::string path = dir_.Write("a.m4a", original);
        {
            OpenedFile file(path);
            EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Old");
            TagParserSetDataW(file.get(), FIELD_TITLE, std::wstring(3000, L't').c_str());
            ASSERT_EQ(TagParserApplyFile(file.get()), 1) << c.table << c.bias;
        }
        const Bytes saved = ReadBytes(path);
        const int width = std::string(c.table) == "stco" ? 4 : 8;
        const uint64_t moved = c.moovFirst ? saved.size() - original.size() : 0;
        const size_t before = Find(original, c.table) + 16, after = Find(saved, c.table) + 16;
        for (size_t i = 0; i < 3; ++i) {
            const uint64_t offset = ReadBig(saved, after + i * width, width);
            EXPECT_EQ(offset, ReadBig(original, before + i * width, width) + moved) << c.table << i;
            if (c.bias == 0) {
                EXPECT_EQ(saved[offset], NoiseBytes(3000)[i * 1000]) << c.table << i;
            }
        }
        OpenedFile file(path);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), std::string(3000, 't'));
    }
}

// The items of the metadata list, each atom's bytes.
std::vector<Bytes> Items(const Bytes& file) {
    const size_t ilst = Find(file, "ilst");
    std::vector<Bytes> items;
    for (size_t at = ilst + 8; at < ilst + ReadBig(file, ilst, 4);) {
        const size_t size = ReadBig(file, at, 4);
        items.emplace_back(file.begin() + at, file.begin() + at + size);
        at += size;
    }
    return items;
}

// A real file: its items (cover art, iTunes' free-form atom) keep their
// bytes and order; a new item goes last. (The room a grown list leaves:
// tag_lib_formats_test.)
TEST_F(Mp4Test, ItemsAChangeDoesNotTouchKeepTheirBytes) {
    const std::string path =
        dir_.Write("t.m4a", ReadBytes(std::string(LY_TEST_DATA) + "/has-tags.m4a"));
    const std::vector<Bytes> items = Items(ReadBytes(path));
    ASSERT_EQ(items.size(), 4u);
    {
        OpenedFile file(path);
        EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_TITLE2, L"Title"), 1);
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);
    }
    std::vector<Bytes> now = Items(ReadBytes(path));
    EXPECT_EQ(now.back(), Mp4TextItem("\xA9nam", "Title"));
    now.pop_back();
    EXPECT_EQ(now, items);
}

}  // namespace
