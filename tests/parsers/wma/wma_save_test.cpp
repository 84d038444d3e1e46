// Saving Windows Media attributes: nothing changes before the save; after it,
// TagLib reads exactly our changes with every other attribute kept and the
// audio is the same behind a header of the right size. Repeated saves through
// a wide path, values that cannot be stored, a read-only file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>

#include <algorithm>

#include "tests/support/asf_fixtures.h"
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
            Attribute::Text(u"WM/AlbumTitle", u"Record"), Attribute::Text(u"WM/Composer", u"One"),
            Attribute::Text(u"WM/Composer", u"Two", Place::kMetadata), Attribute::Dword(u"WM/TrackNumber", 8),
            Attribute::Text(u"WM/Mood", u"calm", Place::kMetadata, 1),
            Attribute::Text(u"WM/Lyrics", u"la la", Place::kMetadataLibrary),
            Attribute::Dword(u"WM/SharedUserRating", 99, Place::kMetadataLibrary),
        };
        return dir_.Write(name, asf::MakeFile(layout));
    }
};

// Every attribute TagLib reads from the file, sorted, as "name|type|value|stream";
// the content-description texts that are not empty as "name|value".
std::vector<std::string> TagLibAttributes(const std::string& path) {
    TagLib::ASF::File file(path.c_str(), false);
    if (!file.isValid()) return {"not readable"};
    const TagLib::ASF::Tag* tag = file.tag();
    std::vector<std::string> lines;
    for (auto [name, value] : {std::pair{"Title", tag->title()}, {"Author", tag->artist()},
                               {"Copyright", tag->copyright()}, {"Description", tag->comment()}, {"Rating", tag->rating()}}) {
        if (!value.isEmpty()) lines.push_back(std::string(name) + "|" + value.to8Bit(true));
    }
    for (const auto& [name, list] : tag->attributeListMap()) {
        for (const TagLib::ASF::Attribute& a : list) {
            const bool text = a.type() == TagLib::ASF::Attribute::UnicodeType;
            lines.push_back(name.to8Bit(true) + "|" + std::to_string(a.type()) + "|" +
                            (text ? a.toString().to8Bit(true) : std::to_string(a.toUInt())) + "|" +
                            std::to_string(a.stream()));
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST_F(WmaSaveTest, SaveWritesExactlyThePendingChangesAndKeepsTheRest) {
    std::string path = WriteTagged("save.wma");
    const Bytes before = ReadBytes(path);
    {
        OpenedFile file(path);
        ASSERT_NE(file.get(), nullptr);
        EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_ALBUM, L"Wide"), 0);  // refused
        TagParserSetData(file.get(), FIELD_TITLE, "Caf\xC3\xA9 \xF0\x9F\x8E\xB5");  // UTF-8, beyond 16 bits
        TagParserSetData(file.get(), FIELD_TRACK, "03");
        TagParserSetData(file.get(), FIELD_COMPOSER, "");  // removes both values
        TagParserSetData(file.get(), FIELD_COMMENT, "");   // a content-description text
        TagParserSetData(file.get(), 31, "nowhere");       // a field without a name
        EXPECT_EQ(TagParserSetExData(file.get(), "WM/Mood", "happy"), 1);  // stream 1 keeps "calm"
        TagParserSetExData(file.get(), "WM/TrackNumber", "5");            // replaces the number
        TagParserSetExData(file.get(), "WM/Label", "upper");              // names differing in case
        TagParserSetExData(file.get(), "wm/label", "lower");
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Song");  // nothing happens before the save
        EXPECT_EQ(ReadBytes(path), before);
        ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    }
    EXPECT_EQ(TagLibAttributes(path),
              (std::vector<std::string>{"Author|Singer", "Copyright|(c) Label", "Title|Caf\xC3\xA9 \xF0\x9F\x8E\xB5",
                                        "WM/AlbumTitle|0|Record|0", "WM/Label|0|upper|0", "WM/Lyrics|0|la la|0",
                                        "WM/Mood|0|calm|1", "WM/Mood|0|happy|0", "WM/SharedUserRating|3|99|0",
                                        "WM/TrackNumber|0|5|0", "WM/Track|0|03|0", "wm/label|0|lower|0"}));
    // The audio is kept whole, where the rewritten header now ends.
    const Bytes after = ReadBytes(path);
    EXPECT_EQ(AfterAsfHeader(after), AfterAsfHeader(before));
    OpenedFile reopened(path);
    int start = 0, end = 0;
    TagParserGetSourceLength(reopened.get(), &start, &end);
    EXPECT_EQ(start, static_cast<int>(ReadLittleEndian(after, 16, 8) + 24));
    EXPECT_EQ(end, static_cast<int>(after.size()));
    EXPECT_EQ(TagParserGetDataW(reopened.get(), FIELD_TITLE), L"Caf\u00E9 \U0001F3B5");
    EXPECT_EQ(TagParserGetData(reopened.get(), FIELD_COMPOSER), "");
}

TEST_F(WmaSaveTest, PendingChangesSurviveASaveAndAreWrittenAgainThroughAWidePath) {
    std::string path = WriteTagged("n\xC3\xBC" "mmer-\xF0\x9F\x8E\xB5.wma");
    OpenedFile file(std::wstring(dir_.path().begin(), dir_.path().end()) + L"/n\u00FCmmer-\U0001F3B5.wma");
    ASSERT_NE(file.get(), nullptr);
    EXPECT_EQ(TagParserGetDescriptionW(file.get(), 7, "", 0), L"n\u00FCmmer-\U0001F3B5");
    TagParserSetData(file.get(), FIELD_ALBUM, "Mine");
    ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    {
        OpenedFile other(path);
        EXPECT_EQ(TagParserGetData(other.get(), FIELD_ALBUM), "Mine");
        TagParserSetData(other.get(), FIELD_ALBUM, "Theirs");
        ASSERT_EQ(TagParserApplyFile(other.get()), 1);
    }
    // This save's open re-reads the file before writing our change again.
    ASSERT_EQ(TagParserApplyFile(file.get()), 1);
    EXPECT_EQ(TagParserGetData(file.get(), FIELD_ALBUM), "Theirs");
    EXPECT_EQ(TagParserGetData(OpenedFile(path).get(), FIELD_ALBUM), "Mine");
}

TEST_F(WmaSaveTest, ValuesTooLongToStoreFailTheSaveAndLeaveTheFile) {
    const std::string emoji = "\xF0\x9F\x8E\xB5";  // two UTF-16 units
    std::string longest;
    for (int i = 0; i < 16383; ++i) longest += emoji;
    struct Case {
        std::string name, value;
        int result;
    } cases[] = {
        {"WM/Lyrics", std::string(32766, 'x'), 1}, {"WM/Lyrics", std::string(32767, 'x'), 0},
        {"Title", longest, 1}, {"Title", longest + emoji, 0}, {std::string(32767, 'n'), "v", 0},
    };
    for (const auto& c : cases) {
        std::string path = WriteTagged("long.wma");
        const Bytes before = ReadBytes(path);
        OpenedFile file(path);
        TagParserSetData(file.get(), FIELD_ALBUM, "also changed");
        TagParserSetExData(file.get(), c.name.c_str(), c.value.c_str());
        EXPECT_EQ(TagParserApplyFile(file.get()), c.result) << c.name.size() << " " << c.value.size();
        if (c.result == 0) {
            EXPECT_EQ(ReadBytes(path), before);
        } else {
            EXPECT_EQ(TagParserGetExData(OpenedFile(path).get(), c.name.c_str()), c.value);
        }
    }
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
