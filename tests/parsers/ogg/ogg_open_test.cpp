// Ogg Vorbis files through the exports: which files open, the stream
// properties, the audio range and digest, and opening from a memory image.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include "tests/support/module_test.h"
#include "tests/support/ogg_fixtures.h"
#include "tests/support/process.h"

namespace {

class OggOpenTest : public ModuleTest {
protected:
    IBaseTag* Open(const std::string& name, const Bytes& data) {
        IBaseTag* handle = TagParserOpenFile(dir_.Write(name, data).c_str());
        if (handle) handles_.push_back(handle);
        return handle;
    }
    IBaseTag* OpenImage(const Bytes& data, int size = -1) {
        IBaseTag* handle = TagParserOpenBinaryFile(2, data.data(), size < 0 ? static_cast<int>(data.size()) : size);
        if (handle) handles_.push_back(handle);
        return handle;
    }
    void TearDown() override {
        for (IBaseTag* handle : handles_) TagParserCloseFile(handle);
    }

    std::vector<IBaseTag*> handles_;
};

long NominalBitrate(const std::string& path) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return -1;
    long rate = ov_info(&file, -1)->bitrate_nominal;
    ov_clear(&file);
    return rate;
}

TEST_F(OggOpenTest, ReportsTheStreamProperties) {
    struct Case {
        int channels, rate;
        const char* mode;
    // (libvorbisenc itself leaks a setup block for 6 channels at 44.1 kHz and up.)
    } cases[] = {{1, 22050, "MONO"}, {2, 48000, "STEREO"}, {6, 32000, "STEREO"}};
    engine_.length = 7.9f;
    for (const auto& c : cases) {
        OggFixture fixture;
        fixture.channels = c.channels;
        fixture.rate = c.rate;
        fixture.serial = 0x90000001u + static_cast<uint32_t>(c.channels);
        fixture.vendor = "Vendor " + std::to_string(c.channels);
        IBaseTag* handle = Open("tone.ogg", MakeOgg(fixture));
        ASSERT_NE(handle, nullptr) << c.channels;
        long nominal = NominalBitrate(dir_.File("tone.ogg"));
        EXPECT_EQ(TagParserGetFileType(handle), 2);
        EXPECT_EQ(TagParserGetFileInfo(handle, 2), std::to_string(c.rate));
        EXPECT_EQ(TagParserGetFileInfo(handle, 3), std::to_string(nominal / 1024));
        EXPECT_EQ(TagParserGetFileInfo(handle, 7), c.mode);
        std::string expected = "Vendor: " + fixture.vendor + "\nVersion: 0\nSample rate: " + std::to_string(c.rate) +
                               " Hz\nNominal bit rate: " + std::to_string(nominal / 1024) +
                               " kbit/s\nSerial number: " + std::to_string(static_cast<int32_t>(fixture.serial)) +
                               "\nChannels: " + std::to_string(c.channels) + "\n";
        EXPECT_EQ(TagParserGetFileInfo(handle, 0), expected);
        EXPECT_EQ(TagParserGetFileInfo(handle, 5), "7");  // the engine's length, as for every parser
        for (int kind : {1, 4, 6, 8, -1, 100}) EXPECT_EQ(TagParserGetFileInfo(handle, kind), "") << kind;
    }
}

TEST_F(OggOpenTest, AudioRangeStartsBehindTheSetupMarker) {
    Bytes data = MakeOgg(OggFixture{});
    IBaseTag* handle = Open("range.ogg", data);
    ASSERT_NE(handle, nullptr);
    int start = -1, end = -1;
    EXPECT_EQ(TagParserGetSourceLength(handle, &start, &end), static_cast<int>(data.size()));
    EXPECT_EQ(start, FindSetupMarker(data) + 10);
    EXPECT_EQ(end, static_cast<int>(data.size()) - start);
    int from = start, count = 3000;
    EXPECT_EQ(TagParserGetMD5(handle, &from, &count), Md5sum(data, static_cast<size_t>(start), 3000));
}

TEST_F(OggOpenTest, SetupMarkerIsSearchedUpTo5120) {
    Bytes at5120 = OggWithMarkerAt(5120), at5121 = OggWithMarkerAt(5121);
    ASSERT_FALSE(at5120.empty());
    ASSERT_FALSE(at5121.empty());
    IBaseTag* found = Open("at5120.ogg", at5120);
    ASSERT_NE(found, nullptr);
    int start = 0, end = 0;
    TagParserGetSourceLength(found, &start, &end);
    EXPECT_EQ(start, 5130);
    EXPECT_EQ(TagParserGetFileInfo(found, 7), "MONO");
    EXPECT_EQ(Open("at5121.ogg", at5121), nullptr);

    // A marker at the very start: found by the first window, not a stream.
    Bytes bare = {'v', 'o', 'r', 'b', 'i', 's', 0x29, 'B', 'C', 'V'};
    bare.resize(200, 0);
    IBaseTag* first = Open("bare.ogg", bare);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(TagParserGetSourceLength(first, &start, &end), 200);
    EXPECT_EQ(start, 10);
    EXPECT_EQ(TagParserGetFileInfo(first, 2), "0");
    EXPECT_EQ(TagParserGetFileInfo(first, 0).find("Vendor: \nVersion: 0\n"), 0u);
}

TEST_F(OggOpenTest, FilesWithoutAMarkerNearTheStartAreRefused) {
    OggFixture bigHeader;
    bigHeader.comments = {"COVERART=" + std::string(300 * 1024, 'x')};
    struct Case {
        const char* name;
        Bytes data;
    } cases[] = {
        {"empty.ogg", {}},
        {"text.ogg", PatternBytes(20000)},
        {"cover.ogg", MakeOgg(bigHeader)},
    };
    for (const auto& c : cases) EXPECT_EQ(Open(c.name, c.data), nullptr) << c.name;
    EXPECT_EQ(TagParserOpenFile(dir_.File("missing.ogg").c_str()), nullptr);
    EXPECT_EQ(TagParserOpenFile(dir_.path().c_str()), nullptr);
}

TEST_F(OggOpenTest, UnreadableHeadersStillOpenWithoutProperties) {
    OggFixture fixture;
    fixture.comments = {"TITLE=Lost"};
    Bytes data = MakeOgg(fixture);
    data[22] ^= 0xff;  // the first page's checksum: libogg drops the page
    IBaseTag* handle = Open("broken.ogg", data);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(TagParserGetFileInfo(handle, 2), "0");
    EXPECT_EQ(TagParserGetFileInfo(handle, 3), "0");
    EXPECT_EQ(TagParserGetData(handle, 0), "");
    EXPECT_EQ(TagParserApplyFile(handle), 0);
    EXPECT_EQ(TagParserDeleteAttachedPicture(handle), 2);
}

TEST_F(OggOpenTest, HeaderPagesOfOtherMuxersAreRead) {
    OggFixture fixture;
    fixture.comments = {"TITLE=Paged", "NOTE=" + std::string(2500, 'n')};
    IBaseTag* handle = Open("paged.ogg", MakeOggWithSmallHeaderPages(fixture, 400));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(TagParserGetData(handle, 0), "Paged");
    EXPECT_EQ(TagParserGetExData(handle, "note").size(), 2500u);
}

Bytes Image(const std::string& vendor, const std::vector<std::string>& comments) {
    Bytes packet = CommentPacketBytes(vendor, comments);
    Bytes image = PatternBytes(40, 3);  // stands for the page and identification header
    image.insert(image.end(), packet.begin(), packet.end());
    return image;
}

TEST_F(OggOpenTest, MemoryImagesGiveTheirCommentList) {
    const std::string classic = "Xiph.Org libVorbis I 20020717";
    std::string long200 = "LONG=" + std::string(195, 'l');  // length 200: a byte with its top bit set
    Bytes full = Image(classic, {"TITLE=T", "NOEQUALS", "ARTIST=A", "ENCODER=e", long200});
    struct Case {
        const char* what;
        Bytes image;
        int size;
        std::vector<std::pair<int, std::string>> fields;
    } cases[] = {
        {"whole", full, -1, {{0, "T"}, {1, "A"}}},
        {"cut inside the third entry", full, static_cast<int>(40 + 7 + 4 + classic.size() + 4 + 11 + 12 + 6), {{0, "T"}, {1, ""}}},
        {"current vendor string", Image("Xiph.Org libVorbis I 20200704 (Reducing Environment)", {"TITLE=New"}), -1,
         {{0, "New"}}},
        {"whole file start", MakeOgg([] {
             OggFixture f;
             f.vendor = "Xiph.Org libVorbis I 20020717";
             f.comments = {"ALBUM=Al"};
             return f;
         }()),
         4096, {{2, "Al"}}},
        {"entry lengths above 255", Image(classic, {"TITLE=" + std::string(300, 'v'), "ARTIST=" + std::string(200, 'a')}),
         -1, {{0, std::string(300, 'v')}, {1, std::string(200, 'a')}}},
    };
    for (const auto& c : cases) {
        IBaseTag* handle = OpenImage(c.image, c.size);
        ASSERT_NE(handle, nullptr) << c.what;
        for (const auto& field : c.fields) EXPECT_EQ(TagParserGetData(handle, field.first), field.second) << c.what;
    }
    // Every entry of an image counts as a known field, whatever its name.
    IBaseTag* handle = OpenImage(full);
    EXPECT_EQ(TagParserGetExData(handle, ""), "");
    EXPECT_EQ(TagParserGetExData(handle, "ENCODER"), "");
    EXPECT_EQ(TagParserGetDescription(handle, 0, "", 0), "T - A");
}

TEST_F(OggOpenTest, MemoryOpenRefusesFileWork) {
    EXPECT_EQ(OpenImage(PatternBytes(500)), nullptr);
    EXPECT_EQ(OpenImage(Bytes{1}, 0), nullptr);
    EXPECT_EQ(TagParserOpenBinaryFile(2, nullptr, 0), nullptr);
    EXPECT_EQ(TagParserOpenBinaryFile(1, Image("Xiph.Org libVorbis", {}).data(), 60), nullptr);

    IBaseTag* handle = OpenImage(Image("Xiph.Org libVorbis I 20020717", {"TITLE=T"}));
    ASSERT_NE(handle, nullptr);
    for (int kind : {0, 2, 3, 5, 7}) EXPECT_EQ(TagParserGetFileInfo(handle, kind), "") << kind;
    int start = 11, end = 22;
    EXPECT_EQ(TagParserGetMD5(handle, &start, &end), "");
    EXPECT_EQ(TagParserGetSourceLength(handle, &start, &end), 0);
    EXPECT_EQ(start, 11);
    EXPECT_EQ(end, 22);
    EXPECT_EQ(TagParserSetDataW(handle, 0, L"New"), 0);
    EXPECT_EQ(TagParserSetExData(handle, "X", "y"), 0);
    EXPECT_EQ(TagParserGetData(handle, 0), "T");
    EXPECT_EQ(TagParserApplyFile(handle), 0);
    EXPECT_EQ(TagParserGetFileType(handle), 2);
}

}  // namespace
