// The module's life in one process, in order: before initialisation, the
// engine-pointer rules, finalisation with handles still open, and a second
// initialisation. One test, because every step depends on the ones before.
#include <gtest/gtest.h>

#include "lyParser.h"
#include "tests/support/fake_engine.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(LifecycleTest, FromLoadToReinitialisation) {
    TempDir dir;
    std::string song = dir.Write("song.wav", PatternBytes(5000));

    // Before TagParserInitialize no file opens...
    EXPECT_EQ(TagParserOpenFile(song.c_str()), nullptr);
    // ...but the range step of the digests and the CD switch work.
    int start = -5, end = -1;
    EXPECT_EQ(TagParserGetCheckSum(nullptr, &start, &end), "");
    EXPECT_EQ(std::to_string(start) + ".." + std::to_string(end), "0..163840");
    TagParserSetForceFreeCDDB(5);
    EXPECT_EQ(TagParserIsForceFreeCDDB(), 5);

    // A first call without an engine creates the controller; a second call
    // finds it and stores nothing.
    FakeEngine first, second;
    first.length = 187.9f;
    second.length = 42.0f;
    EXPECT_EQ(TagParserInitialize(nullptr), 0);
    EXPECT_EQ(TagParserInitialize(&first), 0);
    EXPECT_EQ(first.procAddrCalls, 0);
    IBaseTag* handle = TagParserOpenFile(song.c_str());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(TagParserGetFileInfo(handle, 5), "0");  // no engine stored: a failed call
    TagParserCloseFile(handle);
    handle = TagParserOpenFile("D:\\Track03.cda");  // no engine: no disc, no lookup, no fields
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(TagParserGetData(handle, FIELD_TRACK), "");
    EXPECT_EQ(TagParserGetFileInfo(handle, 5), "0");
    EXPECT_EQ(TagParserGetMD5(handle, &start, &end), "audiocd-track3--0000000000000000");
    TagParserCloseFile(handle);

    // After finalisation the next initialisation stores the engine once.
    TagParserFinalize();
    EXPECT_EQ(TagParserInitialize(&first), 1);
    EXPECT_EQ(first.procAddrCalls, 1);
    handle = TagParserOpenFile(song.c_str());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(TagParserGetFileInfo(handle, 5), "187");

    // Finalising leaves the handle allocated but unreachable through the exports.
    TagParserFinalize();
    EXPECT_EQ(TagParserGetFileInfo(handle, 5), "");
    EXPECT_EQ(TagParserGetDescription(handle, 0, "", 0), "");
    TagParserCloseFile(handle);  // does nothing without a controller

    // A later initialisation works again and keeps the first engine.
    EXPECT_EQ(TagParserInitialize(&second), 0);
    EXPECT_EQ(second.procAddrCalls, 0);
    EXPECT_EQ(TagParserGetFileInfo(handle, 5), "187");
    EXPECT_EQ(TagParserIsForceFreeCDDB(), 5);
    TagParserCloseFile(handle);
    TagParserFinalize();
}

}  // namespace
