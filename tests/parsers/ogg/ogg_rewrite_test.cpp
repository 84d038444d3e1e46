// How an Ogg save lays out the file, Vorbis and Opus alike: the new comment
// header fills the pages of the old one, every page behind it keeps its bytes
// (renumbered, when the header needs more or fewer pages, and only then),
// and the audio digest stays unless pages were renumbered. Read back with
// libogg and mutagen.
#include <gtest/gtest.h>

#include "tests/parsers/parser_test_files.h"
#include "tests/support/module_test.h"
#include "tests/support/ogg_fixtures.h"
#include "tests/support/process.h"
#include "tools/samples/ogg_sample.h"

namespace {

using OggRewriteTest = ModuleTest;

// The pages before the first with audio: those whose granule is 0 or none.
size_t HeaderPages(const std::vector<OggPageCopy>& pages) {
    size_t count = 0;
    while (count < pages.size() && pages[count].granule <= 0) ++count;
    return count;
}

std::string AudioDigest(IBaseTag* handle) {
    auto [start, end, size] = RangeOf(handle);
    return TagParserGetMD5(handle, &start, &end);
}

// Prints a file's NOTES length and its length in seconds as mutagen reads them.
constexpr char kMutagenNotes[] = R"(import sys, mutagen
for path in sys.argv[1:]:
    f = mutagen.File(path)
    print(len(f.tags.get('NOTES', [''])[0]), round(f.info.length, 2))
)";

TEST_F(OggRewriteTest, SavesKeepEveryPageBehindTheCommentHeader) {
    const std::string big(200000, 'n'), some(3000, 's');
    const Bytes kept = {0x01, 'k', 'e', 'p', 't'};  // Opus data an editor must keep
    const struct {
        const char* what;
        bool opus;
        std::vector<std::string> comments;
        std::string notes;  // the new value of NOTES ("" removes it)
        int added;          // header pages more after the save
        Bytes tagsTail;
    } rows[] = {
        {"Vorbis, grown within its pages", false, {"TITLE=t"}, some, 0, {}},
        {"Vorbis, grown past them", false, {"TITLE=t"}, big, 3, {}},
        {"Vorbis, shrunk", false, {"TITLE=t", "NOTES=" + big}, "", -3, {}},
        {"Opus, grown within its pages", true, {"TITLE=t"}, some, 0, {}},
        {"Opus, grown past them", true, {"TITLE=t"}, big, 3, {}},
        {"Opus, shrunk: padded", true, {"TITLE=t", "NOTES=" + big}, "", 0, {}},
        {"Opus, shrunk, data kept", true, {"TITLE=t", "NOTES=" + big}, "", -3, kept},
    };
    std::vector<std::string> saved;
    std::string expected;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        OggFixture vorbis;
        vorbis.comments = row.comments;
        OpusSampleLayout opus;
        opus.comments = row.comments;
        opus.tagsTail = row.tagsTail;
        const Bytes original = row.opus ? MakeOggOpus(opus) : MakeOgg(vorbis);
        const std::string path = dir_.Write("f" + std::to_string(saved.size()) + ".ogg", original);
        const std::string digest = AudioDigest(OpenedFile(path).get());
        {
            OpenedFile file(path);
            ASSERT_EQ(TagParserSetExData(file.get(), "NOTES", row.notes.c_str()), 1);
            ASSERT_EQ(TagParserApplyFile(file.get()), 1);
            // The handle's audio range follows the audio.
            EXPECT_EQ(AudioDigest(file.get()), AudioDigest(OpenedFile(path).get()));
        }
        const Bytes after = ReadBytes(path);
        const std::vector<OggPageCopy> old = PagesOf(original), now = PagesOf(after);
        const size_t oldHeader = HeaderPages(old), newHeader = HeaderPages(now);
        EXPECT_EQ(static_cast<int>(newHeader) - static_cast<int>(oldHeader), row.added);
        ASSERT_EQ(now.size() - newHeader, old.size() - oldHeader);
        for (size_t i = oldHeader; i < old.size(); ++i) {
            const OggPageCopy& a = old[i];
            const OggPageCopy& b = now[i - oldHeader + newHeader];
            EXPECT_TRUE(a.body == b.body && a.granule == b.granule && a.flags == b.flags &&
                        b.sequence - a.sequence == row.added)
                << "page " << i;
        }
        const OggPageReport report = InspectPages(after);
        EXPECT_TRUE(report.badPages == 0 && report.numbered && report.granulesRise &&
                    report.lastPageEnds);
        EXPECT_EQ(AudioDigest(OpenedFile(path).get()) == digest, row.added == 0);
        if (!row.tagsTail.empty()) {
            EXPECT_NE(std::search(after.begin(), after.end(), kept.begin(), kept.end()),
                      after.end());
        }
        saved.push_back(path);
        expected += std::to_string(row.notes.size()) + (row.opus ? " 0.99\n" : " 0.5\n");
    }
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing (./dev.sh installs it)";
    const CommandResult dump = RunPython(kMutagenNotes, saved);
    EXPECT_EQ(dump.out, expected) << dump.err;
}

}  // namespace
