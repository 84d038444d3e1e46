// Saving Windows Media attributes: what an independent reader (mutagen) sees
// afterwards, the audio left byte for byte, removal by empty values, values
// that cannot be stored, repeated saves and text outside the Basic Plane.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "tests/support/asf_fixtures.h"
#include "tests/support/locale_guard.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"

namespace {

using asf::Attribute;
using asf::Place;

class WmaSaveTest : public ModuleTest {
protected:
    std::string WriteTagged(const std::string& name) {
        asf::FileSpec layout;
        layout.hasContentDescription = true;
        layout.content = {u"Song", u"Singer", u"(c) Label", u"Notes", u""};
        layout.attributes = {
            Attribute::Text(u"WM/AlbumTitle", u"Record"),
            Attribute::Text(u"WM/Composer", u"One"),
            Attribute::Text(u"WM/Composer", u"Two", Place::kMetadata),
            Attribute::Dword(u"WM/TrackNumber", 8),
            Attribute::Text(u"WM/Mood", u"calm", Place::kMetadata, 1),
            Attribute::Text(u"WM/Lyrics", u"la la", Place::kMetadataLibrary),
            Attribute::Dword(u"WM/SharedUserRating", 99, Place::kMetadataLibrary),
        };
        return dir_.Write(name, asf::MakeFile(layout));
    }

    // The file's attributes as mutagen reads them. The content-description
    // object always holds all five texts, so an empty one means "absent".
    static std::vector<std::string> Mutagen(const std::string& path) {
        bool ok = false;
        std::vector<std::string> lines = MutagenAttributes(path, &ok);
        EXPECT_TRUE(ok) << path;
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const std::string& line) {
                                       for (const char* name : {"Title", "Author", "Copyright", "Description", "Rating"}) {
                                           if (line == std::string(name) + "|0||0|0") return true;
                                       }
                                       return false;
                                   }),
                    lines.end());
        return lines;
    }
};

// `lines` without those of stream-0 attributes named in `names`, plus `added`.
std::vector<std::string> Expected(std::vector<std::string> lines, const std::set<std::string>& names,
                                  const std::vector<std::string>& added) {
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const std::string& line) {
                                   std::string name = line.substr(0, line.find('|'));
                                   return names.count(name) && line.size() > 4 &&
                                          line.compare(line.size() - 4, 4, "|0|0") == 0;
                               }),
                lines.end());
    lines.insert(lines.end(), added.begin(), added.end());
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST_F(WmaSaveTest, ReaderSeesExactlyOurChangesAndTheAudioIsUntouched) {
    std::string path = WriteTagged("save.wma");
    const Bytes audio = AsfDataObject(ReadBytes(path));
    const std::vector<std::string> before = Mutagen(path);
    {
        OpenedFile file(path);
        ASSERT_NE(file.get(), nullptr);
        TagParserSetData(file.get(), FIELD_TITLE, "New title");
        TagParserSetData(file.get(), FIELD_TRACK, "03");
        TagParserSetData(file.get(), FIELD_COMPOSER, "");  // removes both values
        TagParserSetData(file.get(), FIELD_COMMENT, "");   // a content-description field
        TagParserSetData(file.get(), 31, "nowhere");       // a field without a name
        TagParserSetExData(file.get(), "WM/Mood", "happy");       // stream 1 keeps "calm"
        TagParserSetExData(file.get(), "WM/TrackNumber", "5");    // replaces the number
        ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    }
    EXPECT_EQ(Mutagen(path), Expected(before, {"Title", "WM/Track", "WM/Composer", "Description",
                                               "WM/Mood", "WM/TrackNumber"},
                                      {"Title|0|New title|0|0", "WM/Track|0|03|0|0",
                                       "WM/Mood|0|happy|0|0", "WM/TrackNumber|0|5|0|0"}));
    EXPECT_EQ(AsfDataObject(ReadBytes(path)), audio);

    OpenedFile reopened(path);
    EXPECT_EQ(TagParserGetData(reopened.get(), FIELD_TITLE), "New title");
    EXPECT_EQ(TagParserGetData(reopened.get(), FIELD_COMPOSER), "");
    EXPECT_EQ(TagParserGetData(reopened.get(), FIELD_ARTIST), "Singer");
}

TEST_F(WmaSaveTest, PendingChangesSurviveASaveAndAreWrittenAgain) {
    std::string path = WriteTagged("again.wma");
    OpenedFile file(path);
    ASSERT_NE(file.get(), nullptr);
    TagParserSetData(file.get(), FIELD_ALBUM, "Mine");
    ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    {
        OpenedFile other(path);
        TagParserSetData(other.get(), FIELD_ALBUM, "Theirs");
        ASSERT_EQ(TagParserApplyFile(other.get()), 1);
    }
    // This save's open re-reads the file before writing our change again.
    ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    EXPECT_EQ(TagParserGetData(file.get(), FIELD_ALBUM), "Theirs");
    OpenedFile reopened(path);
    EXPECT_EQ(TagParserGetData(reopened.get(), FIELD_ALBUM), "Mine");
}

TEST_F(WmaSaveTest, PendingNamesAreCaseSensitiveLookupsAreNot) {
    std::string path = WriteTagged("case.wma");
    {
        OpenedFile file(path);
        TagParserSetExData(file.get(), "WM/Label", "upper");
        TagParserSetExData(file.get(), "wm/label", "lower");
        ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    }
    std::vector<std::string> lines = Mutagen(path);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "WM/Label|0|upper|0|0"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "wm/label|0|lower|0|0"), 1);
    OpenedFile reopened(path);
    EXPECT_FALSE(TagParserGetExData(reopened.get(), "WM/LABEL").empty());
}

TEST_F(WmaSaveTest, ValuesTooLongToStoreFailTheSaveAndLeaveTheFile) {
    const std::string emoji = "\xF0\x9F\x8E\xB5";  // two UTF-16 units
    std::string longest;
    for (int i = 0; i < 16383; ++i) longest += emoji;
    struct Case {
        const char* what;
        std::string name, value;
        int result;
    } cases[] = {
        {"32766 units", "WM/Lyrics", std::string(32766, 'x'), 1},
        {"32767 units", "WM/Lyrics", std::string(32767, 'x'), 0},
        {"32766 units in pairs", "Title", longest, 1},
        {"32768 units in pairs", "Title", longest + emoji, 0},
        {"name of 32767 units", std::string(32767, 'n'), "v", 0},
    };
    for (const auto& c : cases) {
        std::string path = WriteTagged("long.wma");
        const Bytes before = ReadBytes(path);
        OpenedFile file(path);
        TagParserSetData(file.get(), FIELD_ALBUM, "also changed");
        TagParserSetExData(file.get(), c.name.c_str(), c.value.c_str());
        EXPECT_EQ(TagParserApplyFile(file.get()), c.result) << c.what;
        if (c.result == 0) {
            EXPECT_EQ(ReadBytes(path), before) << c.what;
        } else {
            OpenedFile reopened(path);
            EXPECT_EQ(TagParserGetExData(reopened.get(), c.name.c_str()), c.value) << c.what;
        }
    }
}

TEST_F(WmaSaveTest, NarrowUtf8TextKeepsCharactersOutsideTheBasicPlane) {
    for (const char* locale : {"C", "C.UTF-8"}) {
        ThreadLocale guard(locale);
        ASSERT_TRUE(guard.ok());
        std::string path = WriteTagged("unicode.wma");
        {
            OpenedFile file(path);
            TagParserSetData(file.get(), FIELD_TITLE, "Caf\xC3\xA9");
            TagParserSetExData(file.get(), "WM/Lyricist", "\xF0\x9F\x8E\xB5 \xF0\xA0\xAE\xB7");
            ASSERT_EQ(TagParserApplyFile(file.get()), 1) << locale;
        }
        std::vector<std::string> lines = Mutagen(path);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Title|0|Caf\xC3\xA9|0|0"), 1) << locale;
        EXPECT_EQ(std::count(lines.begin(), lines.end(),
                             "WM/Lyricist|0|\xF0\x9F\x8E\xB5 \xF0\xA0\xAE\xB7|0|0"), 1) << locale;
        OpenedFile reopened(path);
        EXPECT_EQ(TagParserGetDataW(reopened.get(), FIELD_TITLE), L"Caf\u00E9");
        EXPECT_EQ(TagParserGetExData(reopened.get(), "wm/lyricist"), "\xF0\x9F\x8E\xB5 \xF0\xA0\xAE\xB7");
    }
}

TEST_F(WmaSaveTest, WidePathsOpenAndSave) {
    std::string path = WriteTagged("n\xC3\xBC" "mmer-\xF0\x9F\x8E\xB5.wma");
    std::wstring wide = std::wstring(dir_.path().begin(), dir_.path().end()) + L"/n\u00FCmmer-\U0001F3B5.wma";
    {
        OpenedFile file(wide);
        ASSERT_NE(file.get(), nullptr);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Song");
        TagParserSetData(file.get(), FIELD_TITLE, "Wide path");
        ASSERT_EQ(TagParserApplyFile(file.get()), 1);
        EXPECT_EQ(TagParserGetDescriptionW(file.get(), 7, "", 0), L"n\u00FCmmer-\U0001F3B5");
    }
    OpenedFile reopened(path);
    EXPECT_EQ(TagParserGetData(reopened.get(), FIELD_TITLE), "Wide path");
}

TEST_F(WmaSaveTest, ReadOnlyFileFailsTheSave) {
    std::string path = WriteTagged("locked.wma");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    const Bytes before = ReadBytes(path);
    // Root writes anything: save as an unprivileged user.
    int status = RunInChild(
        [&] {
            OpenedFile file(path);
            if (!file.get() || TagParserGetData(file.get(), FIELD_TITLE) != "Song") return 2;
            TagParserSetData(file.get(), FIELD_TITLE, "Changed");
            return TagParserApplyFile(file.get());
        },
        true);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadBytes(path), before);
}

}  // namespace
