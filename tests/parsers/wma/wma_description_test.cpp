// The ten description texts of Windows Media files: which fields each kind
// joins, the file-title fallback, trimming, the width of the result, and the
// template fill of kind 5 with the host's placeholder texts.
#include <gtest/gtest.h>

#include "tests/support/asf_fixtures.h"
#include "tests/support/module_test.h"

namespace {

using asf::Attribute;

class WmaDescriptionTest : public ModuleTest {
protected:
    // A file named `name` with the given title, artist, album and track.
    std::string Write(const std::string& name, const std::u16string& title, const std::u16string& artist,
                      const std::u16string& album, const std::u16string& track) {
        asf::FileSpec layout;
        layout.hasContentDescription = true;
        layout.content.title = title;
        layout.content.author = artist;
        layout.content.description = u"note";
        if (!album.empty()) layout.attributes.push_back(Attribute::Text(u"WM/AlbumTitle", album));
        if (!track.empty()) layout.attributes.push_back(Attribute::Text(u"WM/Track", track));
        layout.attributes.push_back(Attribute::Text(u"WM/Year", u"2001"));
        layout.attributes.push_back(Attribute::Text(u"WM/Genre", u"Pop"));
        return dir_.Write(name, asf::MakeFile(layout));
    }
};

TEST_F(WmaDescriptionTest, KindsJoinTheirFieldsWithTheFileTitleAsFallback) {
    struct Case {
        const char* what;
        std::u16string title, artist, album, track;
        std::vector<std::string> kinds;  // kinds 0 to 9, kind 5 skipped
    } cases[] = {
        {"all fields", u"T", u"R", u"A", u"K",
         {"T - R", "R - T", "T - A - R", "my.song - K", "T - my.song", "", "T", "my.song", "K - T", "K - my.song"}},
        {"no fields", u"", u"", u"", u"",
         {"my.song", "my.song", "my.song", "my.song", "my.song", "", "my.song", "my.song", "my.song", "my.song"}},
        {"title only", u"T", u"", u"", u"",
         {"T", "T", "T", "my.song", "T - my.song", "", "T", "my.song", "T", "my.song"}},
        {"no artist", u"T", u"", u"A", u"",
         {"T", "T", "T - A", "my.song", "T - my.song", "", "T", "my.song", "T", "my.song"}},
        {"no album", u"T", u"R", u"", u"K",
         {"T - R", "R - T", "T - R", "my.song - K", "T - my.song", "", "T", "my.song", "K - T", "K - my.song"}},
        {"blank title is trimmed away", u"  ", u" R ", u"", u"",
         {"my.song - R", "R - my.song", "my.song - R", "my.song", "my.song", "", "my.song", "my.song", "my.song",
          "my.song"}},
    };
    for (const auto& c : cases) {
        OpenedFile file(Write("my.song.wma", c.title, c.artist, c.album, c.track));
        ASSERT_NE(file.get(), nullptr);
        for (int kind = 0; kind <= 9; ++kind) {
            if (kind == 5) continue;
            for (int flag : {0, 1}) {
                EXPECT_EQ(TagParserGetDescription(file.get(), kind, "", flag), c.kinds[kind])
                    << c.what << ", kind " << kind << ", flag " << flag;
            }
        }
        for (int kind : {10, -1, 100}) EXPECT_EQ(TagParserGetDescription(file.get(), kind, "%title%", 0), "");
    }
}

TEST_F(WmaDescriptionTest, WideFieldsOrPathsGiveWideText) {
    std::string path = Write("x.wma", u"\U0001F3B5", u"", u"", u"");
    OpenedFile file(path);
    EXPECT_EQ(TagParserGetDescriptionW(file.get(), 4, "", 0), L"\U0001F3B5 - x");
    std::wstring wide(path.begin(), path.end());
    OpenedFile byWide(wide);
    EXPECT_EQ(TagParserGetDescriptionW(byWide.get(), 3, "", 0), L"x");
}

TEST_F(WmaDescriptionTest, TemplateFillsFirstPlaceholdersOrFallsBackToTheFileTitle) {
    struct Case {
        std::u16string title;
        const char* pattern;
        const char* result;
    } cases[] = {
        {u"T", "%artist% - %title% (%album%, %year%, %genre%) #%track% %comment%",
         "R - T (A, 2001, Pop) #K note"},
        {u"T", "%title% / %title%", "T / %title%"},
        {u"", "[%title%]", "[tpl]"},
        {u"T", "%filename%|%folder%|", "tpl||"},
        {u"T", "no placeholder", "tpl"},
        {u"T", "", "tpl"},
        {u"T", "%%x", "%x"},
        {u"T", "%folder%", "tpl"},  // only removed: nothing was filled
    };
    for (const auto& c : cases) {
        OpenedFile file(Write("tpl.wma", c.title, u"R", u"A", u"K"));
        ASSERT_NE(file.get(), nullptr);
        EXPECT_EQ(TagParserGetDescription(file.get(), 5, c.pattern, 0), c.result) << c.pattern;
    }
    OpenedFile empty(Write("bare.wma", u"", u"", u"", u""));
    EXPECT_EQ(TagParserGetDescription(empty.get(), 5, "%artist% %album%", 0), "bare");
    // "%%" is replaced first, and counts as filled.
    EXPECT_EQ(TagParserGetDescription(empty.get(), 5, "%artist%%album%", 0), "album%");
}

}  // namespace
