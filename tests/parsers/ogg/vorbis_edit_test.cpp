// The comment-header editor on its own, through memory callbacks: what its
// reader refuses and with which text, and that a rewrite keeps the other
// header packets, the audio, the checksums, page numbers and granules, and
// holds no more than a few pages whatever the granules say. Chained streams
// are checked through the parser's save tests.
#include "parsers/ogg/vorbis_edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <tuple>

#include "tests/support/ogg_fixtures.h"

namespace {

constexpr char kWriteError[] =
    "Error writing stream to output. Output stream may be corrupted or truncated.";

struct Memory {
    Bytes data;
    size_t position = 0;
    size_t limit = SIZE_MAX;         // bytes the output accepts before writes come up short
    const Memory* source = nullptr;  // an output's input: how far its writes lag behind the reads
    size_t lag = 0;                  // the most input read but not yet written
};

size_t ReadMemory(void* buffer, size_t size, size_t count, void* input) {
    auto* in = static_cast<Memory*>(input);
    size_t bytes = std::min(size * count, in->data.size() - in->position);
    if (bytes == 0) return 0;  // an empty input has no data pointer to copy from
    std::memcpy(buffer, in->data.data() + in->position, bytes);
    in->position += bytes;
    return bytes;
}

size_t WriteMemory(const void* buffer, size_t size, size_t count, void* output) {
    auto* out = static_cast<Memory*>(output);
    if (out->source) {
        out->lag = std::max(
            out->lag, out->source->position - std::min(out->source->position, out->data.size()));
    }
    size_t bytes = std::min(size * count, out->limit - std::min(out->limit, out->data.size()));
    const auto* from = static_cast<const unsigned char*>(buffer);
    out->data.insert(out->data.end(), from, from + bytes);
    return bytes;
}

class VorbisEditTest : public ::testing::Test {
protected:
    int Open(const Bytes& input) {
        in_ = Memory{input};
        state_.reset(VorbisEditNewState());
        return VorbisEditOpenCallbacks(state_.get(), &in_, ReadMemory, WriteMemory);
    }

    // Opens `input`, gives it `comments` and writes it to `out`; returns the write's result.
    int Rewrite(const Bytes& input, const std::vector<std::string>& comments, Memory* out) {
        EXPECT_EQ(Open(input), 0) << (state_->lastError ? state_->lastError : "");
        vorbis_comment* list = VorbisEditComments(state_.get());
        vorbis_comment_clear(list);
        vorbis_comment_init(list);
        for (const auto& text : comments) vorbis_comment_add(list, text.c_str());
        return VorbisEditWrite(state_.get(), out);
    }

    TempDir dir_;
    Memory in_;
    VorbisEditPtr state_;
};

TEST_F(VorbisEditTest, ReaderFailuresSayWhatWentWrong) {
    OggFixture notVorbis;
    notVorbis.notVorbis = true;
    Bytes ogg = MakeOgg(OggFixture{});
    const std::tuple<const char*, Bytes, const char*> cases[] = {
        // the error; null: the read succeeds
        {"empty", {}, "Input truncated or empty."},
        {"11 chunks of garbage", PatternBytes(45056), "Input is not an Ogg bitstream."},
        {"a page ending inside 11 chunks", Concat(PatternBytes(45056 - 200), ogg), nullptr},
        {"a page ending past 11 chunks", Concat(PatternBytes(45056 - 10), ogg),
         "Input is not an Ogg bitstream."},
        {"cut inside the setup header", Bytes(ogg.begin(), ogg.begin() + FindSetupMarker(ogg) + 50),
         "EOF before end of vorbis headers."},
        {"first packet not Vorbis", MakeOgg(notVorbis),
         "Ogg bitstream does not contain vorbis data."},
    };
    for (const auto& [what, input, error] : cases) {
        int result = Open(input);
        EXPECT_STREQ(state_->lastError, error) << what;
        EXPECT_EQ(result, error ? -1 : 0) << what;
    }
}

// However the input is paged and whatever its granules say, a rewrite keeps
// the audio, the checksums and page numbers, and only granule positions the
// stream already has; it lays the audio into full pages, and keeps pace with
// its reading: memory holds a few pages, never the stream.
TEST_F(VorbisEditTest, RewriteKeepsAudioPagesAndGranulesHoldingAFewPages) {
    // Small input pages make the output pages end on other packets, whose
    // granules the editor has to work out itself; large ones make it drain
    // several output pages at once. The input's comment header is continued
    // over two pages, the output's fits in one: the pages are renumbered.
    const struct {
        const char* what;
        int channels, packetsPerPage, repeat;
        double seconds;
        int64_t shift;  // from packet `from` on
        size_t from;
        bool none;  // no granules at all
    } cases[] = {
        {"mono, small pages", 1, 3, 1, 1.5, 0, 0, false},
        {"paged as an encoder does", 2, 0, 1, 1.5, 0, 0, false},
        {"6 channels, trimmed at its start", 6, 3, 1, 1.5, -100, 0, false},
        {"large pages, cut from a broadcast", 2, 150, 1, 12, int64_t{1} << 40, 0, false},
        {"a jump ahead at the end of a page", 2, 150, 1, 12, int64_t{1} << 33, 299, false},
        {"large pages without granules", 2, 150, 1, 12, 0, 0, true},
        {"about 2 MB, far ahead", 2, 0, 2000, 0.5, int64_t{1} << 50, 0, false},
        {"about 2 MB without granules", 2, 0, 2000, 0.5, 0, 0, true},
    };
    const std::vector<std::string> comments = {"TITLE=New", "ALBUM=" + std::string(5000, 'a')};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OggFixture fixture;
        fixture.channels = c.channels;
        fixture.seconds = c.seconds;
        fixture.repeat = c.repeat;
        fixture.granuleShift = c.shift;
        fixture.shiftFrom = c.from;
        fixture.comments = {"TITLE=Old", "NOTE=" + std::string(70000, 'n')};
        fixture.packetsPerPage = 1;  // a page ends on every packet: all exact granules
        const std::map<int64_t, int64_t> exact = InspectPages(MakeOgg(fixture)).granules;
        fixture.packetsPerPage = c.packetsPerPage;
        fixture.noGranules = c.none;
        const Bytes original = MakeOgg(fixture);
        Memory out{{}, 0, SIZE_MAX, &in_};
        ASSERT_EQ(Rewrite(original, comments, &out), 0);
        EXPECT_LT(out.lag, 320u * 1024);
        OggPageReport pages = InspectPages(out.data);
        EXPECT_TRUE(pages.badPages == 0 && pages.numbered && pages.granulesRise &&
                    pages.lastPageEnds);
        // Without granules nothing trims a block: the count from 0 runs to the
        // end of the last, and meets the exact positions only in a single tone.
        const int64_t last = pages.granules.rbegin()->second;
        pages.granules.erase(std::prev(pages.granules.end()));
        for (const auto& [packets, granule] : pages.granules) {
            EXPECT_TRUE((c.none && c.repeat > 1) ||
                        (exact.count(packets) && exact.at(packets) == granule))
                << granule << " after " << packets << " packets";
        }
        // Audio is laid into full pages, not cut where the input cut it.
        EXPECT_TRUE(c.packetsPerPage != 3 || pages.pages * 3 < InspectPages(original).pages);
        OggReadBack before = ReadBack(dir_.Write("before.ogg", original));
        OggReadBack after = ReadBack(dir_.Write("after.ogg", out.data));
        EXPECT_TRUE(before.complete && after.complete && after.pcm == before.pcm);
        EXPECT_EQ(last, c.none ? static_cast<int64_t>(before.pcm.size()) / c.channels
                               : exact.rbegin()->second);
        EXPECT_EQ(after.texts,
                  (std::vector<std::string>{fixture.vendor, comments[0], comments[1]}));
    }
}

TEST_F(VorbisEditTest, CutOrDamagedStreamsAreEndedWhileShortWritesAndInterleavedStreamsFail) {
    OggFixture paged;
    paged.packetsPerPage = 3;  // many audio pages
    paged.serial = 7;
    Bytes input = MakeOgg(OggFixture{}), many = MakeOgg(paged);
    Memory out, cutOut;
    EXPECT_EQ(Rewrite(Concat(input, PatternBytes(1000)), {"A=b"}, &out), 0);
    EXPECT_STREQ(state_->lastError, "Corrupt or missing data, continuing...");
    EXPECT_EQ(InspectPages(out.data).badPages, 0);
    // Cut behind a page, a stream has no end flag left: its copy gets one, and
    // the stream that follows it (its first page read to find the end) is kept.
    many.resize(std::string(many.begin(), many.end()).rfind("OggS"));
    EXPECT_EQ(Rewrite(Concat(many, input), {"A=b"}, &cutOut), 0);
    Bytes first(cutOut.data.begin(),
                cutOut.data.end() - static_cast<long>(std::min(input.size(), cutOut.data.size())));
    EXPECT_EQ(Concat(first, input), cutOut.data);
    EXPECT_TRUE(InspectPages(first).lastPageEnds && InspectPages(first).pages > 2);  // with audio
    for (size_t limit : {size_t{0}, size_t{30}, input.size() / 2, input.size() - 100}) {
        Memory shortOut{{}, 0, limit};
        EXPECT_EQ(Rewrite(input, {"A=b"}, &shortOut), -1) << limit;
        EXPECT_STREQ(state_->lastError, kWriteError);
    }
    // Multiplexed with another stream, a stream is not rewritten: at once when
    // both begin together, else when its own pages turn up behind the other's
    // first one.
    for (size_t lead : {size_t{1}, size_t{3}}) {
        Memory mixedOut;
        EXPECT_EQ(Rewrite(InterleaveStreams(MakeOgg(paged), input, lead), {"A=b"}, &mixedOut), -1)
            << lead;
        EXPECT_STREQ(state_->lastError,
                     "Input interleaves several logical streams; it cannot be rewritten whole.");
        EXPECT_EQ(mixedOut.data.empty(), lead == 1) << lead;
    }
}

}  // namespace
