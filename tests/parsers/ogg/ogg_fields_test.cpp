// Comment fields of Ogg Vorbis files through the exports: lookups by
// identifier and by name, recording changes, and the description texts.
#include <gtest/gtest.h>

#include "tests/support/module_test.h"
#include "tests/support/ogg_fixtures.h"

namespace {

class OggFieldsTest : public ModuleTest {
protected:
    void TearDown() override {
        if (handle_) TagParserCloseFile(handle_);
    }

    // Opens a file named `name` with these comments.
    IBaseTag* OpenWith(const std::vector<std::string>& comments, const std::string& name = "song.name.ogg") {
        if (handle_) TagParserCloseFile(handle_);
        OggFixture fixture;
        fixture.comments = comments;
        handle_ = TagParserOpenFile(dir_.Write(name, MakeOgg(fixture)).c_str());
        EXPECT_NE(handle_, nullptr);
        return handle_;
    }

    IBaseTag* handle_ = nullptr;
};

TEST_F(OggFieldsTest, KnownFieldsAnswerByIdentifierAndOthersByName) {
    IBaseTag* h = OpenWith({"Title=Song", "TITLE=Other", "artist=Art", "ALBUM=Alb", "Date=1999", "GENRE=Jazz",
                            "TRACKNUMBER=7", "COMMENT=just a comment", "lyrics=la la", "REPLAYGAIN_TRACK_GAIN=-3 dB",
                            "ENCODER=enc", "bare text", "=empty name"});
    struct Case {
        int id;
        const char* value;
    } cases[] = {{0, "Song"},   {1, "Art"},    {2, "Alb"}, {3, "1999"}, {4, "Jazz"}, {5, ""},  {6, "7"},
                 {26, "la la"}, {14, ""},      {7, ""},    {31, ""},    {99, ""},    {-1, ""}, {33, ""}};
    for (const auto& c : cases) EXPECT_EQ(TagParserGetData(h, c.id), c.value) << c.id;
    EXPECT_EQ(TagParserGetExData(h, ""), "REPLAYGAIN_TRACK_GAIN,ENCODER,,,");
    EXPECT_EQ(TagParserGetExData(h, "encoder"), "enc");
    EXPECT_EQ(TagParserGetExData(h, "COMMENT"), "");
    EXPECT_EQ(TagParserGetExData(h, "TITLE"), "");
    EXPECT_EQ(TagParserGetExData(h, "missing"), "");
}

TEST_F(OggFieldsTest, ValuesAreUtf8InTheFileAndWideOutside) {
    IBaseTag* h = OpenWith({u8"TITLE=Grüße 🎵", u8"ENCODER=日本"});
    EXPECT_EQ(TagParserGetDataW(h, 0), L"Grüße 🎵");
    EXPECT_EQ(TagParserGetData(h, 0), u8"Grüße 🎵");  // the C locale's narrow text is UTF-8
    EXPECT_EQ(TagParserGetExData(h, "ENCODER"), u8"日本");
}

TEST_F(OggFieldsTest, SetDataChangesTheFirstEntryOrAppends) {
    IBaseTag* h = OpenWith({"Title=Song", "TITLE=Other", "COMMENT=x"});
    struct Case {
        int id;
        const wchar_t* value;
        int result;
        const char* after;
    } cases[] = {
        {0, L"New", 1, "New"},  {5, L"y", 1, "y"},     {26, L"words", 1, "words"},
        {0, L"", 0, "New"},     {14, L"composer", 0, ""}, {7, L"x", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TagParserSetDataW(h, c.id, c.value), c.result) << c.id;
        EXPECT_EQ(TagParserGetData(h, c.id), c.after) << c.id;
    }
    EXPECT_EQ(TagParserSetData(h, 1, "Narrow"), 0);  // the narrow export reports nothing
    EXPECT_EQ(TagParserGetData(h, 1), "Narrow");
    EXPECT_EQ(TagParserGetDataW(h, 1), L"Narrow");
    EXPECT_EQ(TagParserGetExData(h, ""), "");
}

TEST_F(OggFieldsTest, SetExDataChangesOtherCommentsByName) {
    IBaseTag* h = OpenWith({"ENCODER=enc", "TITLE=t"});
    EXPECT_EQ(TagParserSetExData(h, "encoder", "mine"), 1);
    EXPECT_EQ(TagParserSetExData(h, "MOOD", ""), 1);
    EXPECT_EQ(TagParserSetExData(h, "TITLE", "as other"), 1);
    EXPECT_EQ(TagParserGetExData(h, "ENCODER"), "mine");
    EXPECT_EQ(TagParserGetExData(h, ""), "ENCODER,MOOD,TITLE,");
    EXPECT_EQ(TagParserGetExData(h, "title"), "as other");
    EXPECT_EQ(TagParserGetData(h, 0), "t");
}

// The joining and template rules are shared with the other parsers (see the
// Windows Media description tests); these cases check what Ogg feeds them.
TEST_F(OggFieldsTest, DescriptionsAndTemplatesReadTheComments) {
    const std::vector<std::string> all = {"TITLE=T", "ARTIST=A", "ALBUM=B", "DATE=2001", "DESCRIPTION=C",
                                          "GENRE=G", "TRACKNUMBER=9"};
    struct Case {
        std::vector<std::string> comments;
        int kind;
        const char* format;
        std::string text;
    } cases[] = {
        {all, 2, "", "T - B - A"},
        {all, 9, "", "9 - song.name"},
        {{}, 0, "", "song.name"},
        {{"ARTIST=A"}, 1, "", "A - song.name"},
        {all, 5, "%artist% - %title% (%album%, %year%) [%genre%] #%track%: %comment%", "A - T (B, 2001) [G] #9: C"},
        {{}, 5, "%title%", "song.name"},
        {{}, 5, "<%filename%>", "<" + dir_.File("song.name.ogg") + ">"},
    };
    for (const auto& c : cases) {
        IBaseTag* h = OpenWith(c.comments);
        EXPECT_EQ(TagParserGetDescription(h, c.kind, c.format, 0), c.text) << c.kind << " " << c.format;
    }
    IBaseTag* h = OpenWith({u8"TITLE=Ünï 🎵", "ARTIST=A"});
    EXPECT_EQ(TagParserGetDescriptionW(h, 0, "", 0), L"Ünï 🎵 - A");
}

TEST_F(OggFieldsTest, ListsAreEmptiedByClose) {
    IBaseTag* h = OpenWith({"TITLE=T"});
    EXPECT_EQ(TagParserSetExData(h, "K", "v"), 1);
    TagParserCloseFile(h);
    handle_ = nullptr;
    h = OpenWith({"TITLE=T"});
    EXPECT_EQ(TagParserGetExData(h, ""), "");
}

}  // namespace
