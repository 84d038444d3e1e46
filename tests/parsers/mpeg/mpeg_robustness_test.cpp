// Malformed MP3 files through every read operation: nothing may crash, hang
// or read out of bounds (the sanitizer build runs this too).
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/module_test.h"
#include "tests/support/mpeg_fixtures.h"

namespace {

using MpegRobustnessTest = ModuleTest;

// Every read operation on one handle; true when the file opened.
bool DriveEverything(const std::string& path) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return false;
    for (int id = -1; id <= 40; ++id) TagParserGetDataW(handle, id);
    for (int kind = -1; kind <= 16; ++kind) {
        TagParserGetFileInfo(handle, kind);
        TagParserGetDescription(handle, kind, "%title% %artist% %%", kind & 1);
    }
    int start = 0, end = 0;
    TagParserGetSourceLength(handle, &start, &end);
    TagParserGetFileInfo(handle, 0);
    int size = std::atoi(TagParserGetData(handle, FIELD_PICTURE_INFO).c_str());
    Bytes picture(static_cast<size_t>(size) + 1);
    TagParserGetAttachedPictureData(handle, picture.data());
    start = 0;
    end = 4096;
    TagParserGetMD5(handle, &start, &end);
    TagParserCloseFile(handle);
    return true;
}

TEST_F(MpegRobustnessTest, MalformedFilesNeverCrashOrHang) {
    Bytes valid = Concat({Id3v2Tag(4, {TextFrame(4, "TIT2", "title"), CommentLikeFrame(4, "USLT", "words")}),
                          Mp3Frames(10), MakeId3v1Tag("t", "a", "b", "2000", "c", 1, 2)});
    Bytes truncatedTag(valid.begin(), valid.begin() + 25);
    Bytes hugeTag = valid;
    SetId3v2DeclaredSize(&hugeTag, 256u << 20);
    Bytes oversizedFrame = Concat({Id3v2Tag(4, {Id3v2Frame(4, "TIT2", TextBytes("\x03title"))}), Mp3Frames(5)});
    oversizedFrame[10 + 4 + 1] = 0x7F;  // the frame claims far more than the tag holds
    Bytes emptyPicture = Concat({Id3v2Tag(3, {Id3v2Frame(3, "APIC", Bytes())}), Mp3Frames(5)});
    Bytes pictureNoData = Concat({Id3v2Tag(3, {PictureFrame(3, "image/png", "", Bytes())}), Mp3Frames(5)});
    Bytes badUrl = Concat({Id3v2Tag(4, {Id3v2Frame(4, "WXXX", Bytes{0})}), Mp3Frames(5)});
    Bytes oldTag = Concat({Id3v2Tag(2, {TextFrame(2, "TT2", "two"), TextFrame(2, "TCO", "(")}), Mp3Frames(5)});
    Bytes onlySyncs(4000, 0xFF);
    struct Case {
        const char* name;
        Bytes data;
    } cases[] = {
        {"empty", Bytes()},
        {"one byte", Bytes{0xFF}},
        {"random", PatternBytes(20000, 5)},
        {"truncated ID3v2", truncatedTag},
        {"tag claims 256 MB", hugeTag},
        {"frame larger than the tag", oversizedFrame},
        {"APIC without body", emptyPicture},
        {"APIC without data", pictureNoData},
        {"WXXX of one byte", badUrl},
        {"ID3v2.2 tag", oldTag},
        {"only sync bytes", onlySyncs},
        {"cut inside the frames", Bytes(valid.begin(), valid.begin() + 3000)},
        {"ID3v1 alone", MakeId3v1Tag("", "", "", "", "", 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DriveEverything(dir_.Write("bad.mp3", c.data));
    }
    EXPECT_TRUE(DriveEverything(dir_.Write("good.mp3", valid)));
}

}  // namespace
