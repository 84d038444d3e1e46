// Where the audio lies in a Windows Media file: the walk over its top-level
// objects through GetSourceLength, on valid files, damaged object sizes and a
// file larger than 4 GiB; and the digest of a range.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "tests/support/asf_fixtures.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"

namespace {

class WmaSourceRangeTest : public ModuleTest {
protected:
    struct Range {
        int start = -7, end = -7, result = -7;
    };
    static Range SourceRange(const std::string& path) {
        Range range;
        OpenedFile file(path);
        if (file.get()) range.result = TagParserGetSourceLength(file.get(), &range.start, &range.end);
        return range;
    }
};

asf::FileSpec IndexedSpec() {
    asf::FileSpec layout;
    layout.indexObject = true;
    layout.attributes = {asf::Attribute::Text(u"WM/AlbumTitle", u"Walk")};
    return layout;
}

// Applies `damage` to the object at `index` among the top-level objects.
Bytes Damaged(size_t index, const std::function<void(Bytes*, const AsfObjectSpan&)>& damage) {
    Bytes file = asf::MakeFile(IndexedSpec());
    damage(&file, AsfTopLevelObjects(file).at(index));
    return file;
}

void SetSize(Bytes* file, const AsfObjectSpan& object, uint64_t size) {
    SetAsfObjectSize(file, object.offset, size);
}

TEST_F(WmaSourceRangeTest, WalkFindsTheDataBodyOrFallsBackToTheWholeFile) {
    const asf::FileSpec layout = IndexedSpec();
    const int start = static_cast<int>(asf::DataBodyStart(layout));
    const int end = static_cast<int>(asf::DataBodyEnd(layout));
    const Bytes valid = asf::MakeFile(layout);
    const int length = static_cast<int>(valid.size());
    asf::FileSpec bare = layout;
    bare.dataObject = false;
    const Bytes noData = asf::MakeFile(bare);
    const Bytes cut(valid.begin(), valid.begin() + end - 100);

    struct Case {
        const char* what;
        Bytes file;
        int start, end;
    } cases[] = {
        {"valid, index after the data", valid, start, end},
        {"no Data Object", noData, 0, static_cast<int>(noData.size())},
        {"file cut inside the packets", cut, 0, end - 100},
        {"header of size 0", Damaged(0, [](Bytes* f, const AsfObjectSpan& o) { SetSize(f, o, 0); }), 0, length},
        {"header smaller than its own header",
         Damaged(0, [](Bytes* f, const AsfObjectSpan& o) { SetSize(f, o, 23); }), 0, length},
        {"header larger than the file",
         Damaged(0, [length](Bytes* f, const AsfObjectSpan& o) { SetSize(f, o, o.size + length); }), 0, length},
        {"header size negative",
         Damaged(0, [](Bytes* f, const AsfObjectSpan& o) { SetSize(f, o, ~0ull - 5); }), 0, length},
        {"data larger than what remains",
         Damaged(1, [length](Bytes* f, const AsfObjectSpan& o) { SetSize(f, o, length - o.offset + 1); }),
         0, length},
        {"data shorter than its packets",
         Damaged(1, [](Bytes* f, const AsfObjectSpan& o) { SetSize(f, o, 24 + 50); }), start, start + 50},
        {"broken index after the data",
         Damaged(2, [](Bytes* f, const AsfObjectSpan& o) { SetSize(f, o, 0); }), start, end},
        {"empty file", Bytes(), 0, 0},
    };
    for (const auto& c : cases) {
        Range range = SourceRange(dir_.Write("walk.wma", c.file));
        EXPECT_EQ(range.result, 0) << c.what;
        EXPECT_EQ(range.start, c.start) << c.what;
        EXPECT_EQ(range.end, c.end) << c.what;
    }
}

TEST_F(WmaSourceRangeTest, FilesBeyondFourGigabytesAreWalkedWithoutWrapping) {
    // Header, then a 4 GiB object left as a hole, then the Data Object: a
    // 32-bit walk would wrap and miss it. The range is reported in the low
    // 32 bits of each position.
    asf::FileSpec layout;
    const Bytes valid = asf::MakeFile(layout);
    const auto objects = AsfTopLevelObjects(valid);
    const Bytes header(valid.begin(), valid.begin() + static_cast<long>(objects.at(1).offset));
    const Bytes data = AsfDataObject(valid);
    const uint64_t gap = (4ull << 30) + 24;
    Bytes gapHeader(24, 0x5A);
    SetAsfObjectSize(&gapHeader, 0, gap);

    std::string path = dir_.File("huge.wma");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
        out.write(reinterpret_cast<const char*>(gapHeader.data()), 24);
        out.seekp(static_cast<std::streamoff>(header.size() + gap));
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        ASSERT_TRUE(out.good());
    }
    const uint64_t bodyStart = header.size() + gap + 24;
    Range range = SourceRange(path);
    EXPECT_EQ(range.start, static_cast<int>(static_cast<uint32_t>(bodyStart)));
    EXPECT_EQ(range.end, static_cast<int>(static_cast<uint32_t>(bodyStart + data.size() - 24)));
}

TEST_F(WmaSourceRangeTest, DigestCoversTheRequestedBytesOfTheFile) {
    const Bytes data = asf::MakeFile(IndexedSpec());
    OpenedFile file(dir_.Write("digest.wma", data));
    int start = 100, count = 2000;
    EXPECT_EQ(TagParserGetMD5(file.get(), &start, &count), Md5sum(data, 100, 2000));
}

}  // namespace
