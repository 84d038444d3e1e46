// WAV files through the exports: the LIST/INFO chunk answers what the ID3v2
// chunk lacks and is never written; the ID3v2 chunk is rewritten in its
// place, and its frames of other programs stay.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/parsers/mpeg/id3_builders.h"
#include "tests/support/module_test.h"

namespace {

Bytes Chunk(const char* name, Bytes data) {
    const size_t size = data.size();
    Bytes chunk = TextBytes(name);
    for (int i = 0; i < 4; ++i) chunk.push_back(static_cast<unsigned char>(size >> (8 * i)));
    if (size % 2) data.push_back(0);
    chunk.insert(chunk.end(), data.begin(), data.end());
    return chunk;
}

// 8 kHz 16-bit mono PCM with an INFO list naming a title and an artist, and
// an ID3v2 chunk with a comment of another program.
Bytes WavWithInfo() {
    const Bytes format = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0};
    const Bytes info =
        Concat({TextBytes("INFO"), Chunk("INAM", TextBytes(std::string("Info title", 11))),
                Chunk("IART", TextBytes(std::string("Info artist", 12)))});
    const Bytes comment = TextBytes(std::string("\0engiTunNORM\0 0000", 18));  // described
    return Chunk("RIFF", Concat({TextBytes("WAVE"), Chunk("fmt ", format), Chunk("LIST", info),
                                 Chunk("ID3 ", Tag(3, {Frame(3, "COMM", comment)})),
                                 Chunk("data", PatternBytes(1600))}));
}

// Where a chunk named `name` starts, or the file's size.
size_t ChunkAt(const Bytes& file, const char* name) {
    const Bytes key = TextBytes(name);
    return std::search(file.begin(), file.end(), key.begin(), key.end()) - file.begin();
}

using RiffTest = ModuleTest;

// (That a field INFO holds cannot be removed, and the room the rewritten
// chunk keeps: tag_lib_formats_test.)
TEST_F(RiffTest, InfoAnswersWhatTheId3ChunkLacksAndIsNeverWritten) {
    const Bytes original = WavWithInfo();
    const std::string path = dir_.Write("info.wav", original);
    const size_t list = ChunkAt(original, "LIST");
    const Bytes info(original.begin() + list, original.begin() + ChunkAt(original, "ID3 "));
    {
        OpenedFile file(path);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_ARTIST2), "Info artist");
        EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_TITLE2, L"ID3 title"), 1);
        EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_ALBUM, L"Album"), 1);
        EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_COMMENT, L"Note"), 1);
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);
    }
    const Bytes saved = ReadBytes(path);
    EXPECT_TRUE(std::equal(info.begin(), info.end(), saved.begin() + list));
    EXPECT_EQ(ChunkAt(saved, "ID3 "), ChunkAt(original, "ID3 "));  // rewritten in its place
    EXPECT_NE(ChunkAt(saved, "iTunNORM"), saved.size());
    OpenedFile file(path);
    EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE) + "|" +
                  TagParserGetData(file.get(), FIELD_ALBUM2) + "|" +
                  TagParserGetData(file.get(), FIELD_COMMENT2) + "|" +
                  TagParserGetData(file.get(), FIELD_ARTIST),
              "ID3 title|Album|Note|Info artist");
}

// A file whose chunks cannot be walked has nowhere to put a tag: a save
// that would not read back as the changes say is refused, the file as it was.
TEST_F(RiffTest, ChangesTheFileCannotHoldAreRefused) {
    Bytes unwalkable = WavWithInfo();
    unwalkable[12] = 0x9A;  // the first chunk's name is no name
    const std::string path = dir_.Write("bad.wav", unwalkable);
    OpenedFile file(path);
    EXPECT_EQ(TagParserGetFileType(file.get()), FILE_TYPE_WAV);
    EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_TITLE, L"Lost"), 1);
    EXPECT_EQ(TagParserApplyFile(file.get()), 0);
    EXPECT_TRUE(ReadBytes(path) == unwalkable);
    EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "");
}

}  // namespace
