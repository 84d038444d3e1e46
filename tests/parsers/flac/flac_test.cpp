// FLAC files through the exports: the comment field (DESCRIPTION and COMMENT,
// removal, untouched entries as they were; the rules of the comment list
// itself are ogg_parser_test's) and the metadata blocks a save keeps, on
// files made here.
#include <gtest/gtest.h>

#include "tests/support/module_test.h"
#include "tools/samples/flac_sample.h"

namespace {

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Picture(int type, const Bytes& image) { return FlacPicture(type, "image/png", image); }

// The metadata blocks of a FLAC file, in order.
std::vector<FlacBlock> Blocks(const Bytes& file) {
    std::vector<FlacBlock> blocks;
    for (size_t at = 4, last = 0; !last && at + 4 <= file.size();) {
        const size_t size = file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        last = file[at] & 0x80;
        blocks.push_back(
            {file[at] & 0x7F, Bytes(file.begin() + at + 4, file.begin() + at + 4 + size)});
        at += 4 + size;
    }
    return blocks;
}

using FlacTest = ModuleTest;

// The comment is DESCRIPTION, else COMMENT, and is written where it was read,
// in its spelling; other entries keep their bytes and order. (How a change
// replaces every entry of its name is the comment list's: ogg_parser_test.)
TEST_F(FlacTest, CommentChangesFollowTheVorbisRules) {
    struct Case {
        std::vector<std::string> before;
        int field;
        const wchar_t* value;
        const char* read;  // the field before the change
        std::vector<std::string> after;
    } cases[] = {
        // clang-format off
        {{"COMMENT=c", "DESCRIPTION=d"}, FIELD_COMMENT, L"e", "d", {"COMMENT=c", "DESCRIPTION=e"}},
        {{"comment=c", "TITLE=t"}, FIELD_COMMENT2, L"e", "c", {"comment=e", "TITLE=t"}},
        {{"TITLE=t"}, FIELD_COMMENT, L"\u00e9t\u00e9", "",
         {"TITLE=t", "COMMENT=\xC3\xA9t\xC3\xA9"}},
        {{"COMMENT=c", "X=1", "DESCRIPTION=d"}, FIELD_COMMENT, L"", "d", {"X=1"}},
        {{}, FIELD_DISC, L"1/2", "", {"DISCNUMBER=1/2"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        const std::string path =
            dir_.Write("c.flac", MakeFlac({{4, FlacComments(c.before)}, {1, Bytes(200)}}));
        OpenedFile file(path);
        EXPECT_EQ(TagParserGetData(file.get(), c.field), c.read);
        EXPECT_EQ(TagParserSetDataW(file.get(), c.field, c.value), 1);
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);
        EXPECT_EQ(Blocks(ReadBytes(path))[1].data, FlacComments(c.after)) << c.before.size();
    }
}

// Blocks the change does not touch keep their bytes and places: a second
// comment block, an application block, a back cover. The front cover is the
// picture shown and replaced; the last padding block absorbs what fits, and
// a change that does not fit leaves new padding behind it. (An ID3v1 tag
// behind the audio: tag_lib_formats_test.)
TEST_F(FlacTest, SavesKeepTheBlocksTheyDoNotChange) {
    const Bytes back = PatternBytes(300, 7), front = PatternBytes(200, 8);
    const std::vector<FlacBlock> blocks = {{4, FlacComments({"TITLE=Old title"})},
                                           {2, Text("lyPa application data")},
                                           {6, Picture(4, back)},
                                           {6, Picture(3, front)},
                                           {4, FlacComments({"TITLE=second"})},
                                           {1, Bytes(500)}};
    const std::string path = dir_.Write("b.flac", MakeFlac(blocks));
    const std::string png =
        dir_.Write("cover.png", Bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    const size_t size = ReadBytes(path).size();
    {
        OpenedFile file(path);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_PICTURE_INFO), "200");
        EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_TITLE, L"New title"), 1);
        TagParserSetData(file.get(), FIELD_PICTURE, png.c_str());
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);
    }
    Bytes saved = ReadBytes(path);
    EXPECT_EQ(saved.size(), size);  // the padding took the change
    std::vector<FlacBlock> now = Blocks(saved);
    ASSERT_EQ(now.size(), blocks.size() + 1);
    for (size_t i : {1, 2, 4}) EXPECT_EQ(now[i + 1].data, blocks[i].data) << i;
    EXPECT_EQ(now[1].data, FlacComments({"TITLE=New title"}));
    EXPECT_EQ(now[4].data, Picture(3, ReadBytes(png)));
    {
        OpenedFile file(path);
        EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_LYRICS, std::wstring(2000, L'l').c_str()), 1);
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);
    }
    now = Blocks(ReadBytes(path));
    EXPECT_EQ(now.back().type, 1);
    EXPECT_EQ(now.back().data.size(), 4096u);
}

}  // namespace
