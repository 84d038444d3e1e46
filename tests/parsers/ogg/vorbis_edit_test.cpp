// The comment-header editor on its own: the failure texts of the reader and
// the writer, and that a rewritten stream keeps its audio, its checksums and
// its granules. Chained streams and headers across pages are checked
// through the Ogg save tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "parsers/ogg/vorbis_edit.h"
#include "tests/support/ogg_fixtures.h"
#include "tests/support/temp_dir.h"

namespace {

// A memory input and output for the editor's callbacks.
struct MemoryStream {
    Bytes data;
    size_t position = 0;
    size_t writeLimit = SIZE_MAX;  // bytes the output accepts before writes come up short
};

size_t ReadMemory(void* buffer, size_t size, size_t count, void* input) {
    auto* stream = static_cast<MemoryStream*>(input);
    size_t bytes = std::min(size * count, stream->data.size() - stream->position);
    if (bytes > 0) std::memcpy(buffer, stream->data.data() + stream->position, bytes);
    stream->position += bytes;
    return bytes;
}

size_t WriteMemory(const void* buffer, size_t size, size_t count, void* output) {
    auto* stream = static_cast<MemoryStream*>(output);
    size_t room = stream->writeLimit - std::min(stream->writeLimit, stream->data.size());
    size_t bytes = std::min(size * count, room);
    const auto* bytesIn = static_cast<const unsigned char*>(buffer);
    if (bytes > 0) stream->data.insert(stream->data.end(), bytesIn, bytesIn + bytes);
    return bytes;
}

class VorbisEditTest : public ::testing::Test {
protected:
    // Opens `input`; returns the reader's result and keeps the state.
    int Open(const Bytes& input) {
        in_ = MemoryStream{input};
        state_.reset(VorbisEditNewState());
        return VorbisEditOpenCallbacks(state_.get(), &in_, ReadMemory, WriteMemory);
    }

    // Rewrites `input` with `comments` as the new list; returns the output.
    Bytes Rewrite(const Bytes& input, const std::vector<std::string>& comments, int* result = nullptr) {
        EXPECT_EQ(Open(input), 0) << (state_->lastError ? state_->lastError : "");
        vorbis_comment* list = VorbisEditComments(state_.get());
        vorbis_comment_clear(list);
        vorbis_comment_init(list);
        for (const auto& text : comments) vorbis_comment_add(list, text.c_str());
        MemoryStream out;
        int written = VorbisEditWrite(state_.get(), &out);
        if (result) *result = written;
        return out.data;
    }

    std::vector<int16_t> Pcm(const Bytes& data) {
        std::vector<int16_t> samples;
        EXPECT_TRUE(DecodePcm(dir_.Write("pcm.ogg", data), &samples));
        return samples;
    }

    TempDir dir_;
    MemoryStream in_;
    VorbisEditPtr state_;
};

Bytes Garbage(size_t count) { return PatternBytes(count, 7); }

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(VorbisEditTest, ReaderFailuresSayWhatWentWrong) {
    Bytes ogg = MakeOgg(OggFixture{});
    long setupPage = FindSetupMarker(ogg);
    Bytes notVorbis = ogg;
    notVorbis[28 + 1] = 'V';  // the first packet's "vorbis"
    SetPageChecksum(&notVorbis, 0);
    struct Case {
        const char* what;
        Bytes input;
        const char* error;  // null: the read succeeds
    } cases[] = {
        {"empty", {}, "Input truncated or empty."},
        {"short garbage", Garbage(100), "Input truncated or empty."},
        {"11 chunks of garbage", Garbage(45056), "Input is not an Ogg bitstream."},
        {"garbage then a page ending inside 11 chunks", Concat(Garbage(45056 - 200), ogg), nullptr},
        {"garbage then a page ending past 11 chunks", Concat(Garbage(45056 - 10), ogg),
         "Input is not an Ogg bitstream."},
        {"cut inside the setup header", Bytes(ogg.begin(), ogg.begin() + setupPage + 50),
         "EOF before end of vorbis headers."},
        {"first packet not Vorbis", notVorbis, "Ogg bitstream does not contain vorbis data."},
        {"whole stream", ogg, nullptr},
    };
    for (const auto& c : cases) {
        int result = Open(c.input);
        if (c.error) {
            EXPECT_EQ(result, -1) << c.what;
            EXPECT_STREQ(state_->lastError, c.error) << c.what;
            EXPECT_EQ(state_->sync, nullptr) << c.what;
        } else {
            EXPECT_EQ(result, 0) << c.what << ": " << (state_->lastError ? state_->lastError : "");
        }
    }
}

TEST_F(VorbisEditTest, HeadersOnlyOpenReadsTheSameButCannotWrite) {
    OggFixture fixture;
    fixture.comments = {"TITLE=Song", "ARTIST=Me"};
    std::string path = dir_.Write("headers.ogg", MakeOgg(fixture));
    struct Case {
        const char* what;
        std::string path;
        const char* error;
    } cases[] = {{"stream", path, nullptr}, {"empty", dir_.Write("empty.ogg", Bytes()), "Input truncated or empty."}};
    for (const auto& c : cases) {
        std::FILE* file = std::fopen(c.path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        VorbisEditPtr state(VorbisEditNewState());
        int result = VorbisEditOpenHeaders(state.get(), file);
        std::fclose(file);
        if (c.error) {
            EXPECT_EQ(result, -1) << c.what;
            EXPECT_STREQ(state->lastError, c.error) << c.what;
            continue;
        }
        ASSERT_EQ(result, 0) << c.what;
        EXPECT_EQ(state->info->channels, 2);
        EXPECT_EQ(VorbisEditComments(state.get())->comments, 2);
        EXPECT_STREQ(state->vendor, "Xiph.Org libVorbis I 20200704 (Reducing Environment)");
        MemoryStream out;
        EXPECT_EQ(VorbisEditWrite(state.get(), &out), -1);
        EXPECT_TRUE(out.data.empty());
    }
}

TEST_F(VorbisEditTest, RewriteKeepsAudioChecksumsAndGranules) {
    // Small input pages make the output pages end on other packets, whose
    // granules the editor has to work out itself; large ones make it drain
    // several output pages at once.
    const struct {
        int channels, packetsPerPage;
    } layouts[] = {{1, 3}, {2, 0}, {6, 3}, {2, 200}};
    for (const auto& layout : layouts) {
        const int channels = layout.channels;
        OggFixture fixture;
        fixture.channels = channels;
        fixture.packetsPerPage = layout.packetsPerPage;
        fixture.seconds = 1.5;
        fixture.comments = {"TITLE=Old"};
        Bytes original = MakeOgg(fixture);
        int result = -1;
        Bytes rewritten = Rewrite(original, {"TITLE=New", "ALBUM=Album"}, &result);
        ASSERT_EQ(result, 0) << channels;
        OggPageReport pages = InspectPages(rewritten);
        EXPECT_EQ(pages.badPages, 0) << channels;
        EXPECT_TRUE(pages.granulesRise) << channels;
        EXPECT_TRUE(pages.lastPageEnds) << channels;
        EXPECT_EQ(Pcm(rewritten), Pcm(original)) << channels;
        std::vector<int64_t> exact = PacketGranules(fixture);
        for (int64_t granule : pages.granules) {
            if (granule == 0) continue;  // header pages
            EXPECT_NE(std::find(exact.begin(), exact.end(), granule), exact.end()) << granule;
        }
        std::string vendor;
        EXPECT_EQ(ReadCommentTexts(dir_.Write("check.ogg", rewritten), &vendor),
                  (std::vector<std::string>{"TITLE=New", "ALBUM=Album"}));
        EXPECT_EQ(vendor, "Xiph.Org libVorbis I 20200704 (Reducing Environment)");
    }
}

TEST_F(VorbisEditTest, DamageBehindTheStreamIsReportedAndSkipped) {
    Bytes input = Concat(MakeOgg(OggFixture{}), Garbage(1000));
    int result = -1;
    Bytes rewritten = Rewrite(input, {"A=b"}, &result);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(state_->lastError, "Corrupt or missing data, continuing...");
    EXPECT_EQ(InspectPages(rewritten).badPages, 0);
}

TEST_F(VorbisEditTest, ShortWriteFailsWithItsText) {
    Bytes input = MakeOgg(OggFixture{});
    for (size_t limit : {size_t{0}, size_t{30}, input.size() / 2, input.size() - 100}) {
        ASSERT_EQ(Open(input), 0);
        MemoryStream out;
        out.writeLimit = limit;
        EXPECT_EQ(VorbisEditWrite(state_.get(), &out), -1) << limit;
        EXPECT_STREQ(state_->lastError,
                     "Error writing stream to output. Output stream may be corrupted or truncated.");
    }
}

TEST_F(VorbisEditTest, ClearAcceptsNullAndHalfOpenedStates) {
    VorbisEditClear(nullptr);
    EXPECT_EQ(Open(Garbage(10)), -1);
    MemoryStream out;
    EXPECT_EQ(VorbisEditWrite(state_.get(), &out), -1);
    EXPECT_TRUE(out.data.empty());
}

}  // namespace
