// Reading Windows Media attributes through the exports: the field table,
// multi-valued and numeric attributes, streams, case, locales, protection and
// the technical texts; and what changes before a save (nothing).
#include <gtest/gtest.h>

#include "tests/support/asf_fixtures.h"
#include "tests/support/locale_guard.h"
#include "tests/support/module_test.h"

namespace {

using asf::Attribute;
using asf::Place;

class WmaFieldsTest : public ModuleTest {
protected:
    // A file holding every mapped field, some twice, plus attributes the
    // parser must not see: numbers, other streams.
    static asf::FileSpec TaggedSpec() {
        asf::FileSpec layout;
        layout.hasContentDescription = true;
        layout.content = {u"Song", u"Singer", u"(c) Label", u"Liner notes", u"4 stars"};
        layout.attributes = {
            Attribute::Text(u"WM/AlbumTitle", u"Record"),
            Attribute::Text(u"WM/Year", u"1999"),
            Attribute::Text(u"WM/Genre", u"Jazz"),
            Attribute::Text(u"WM/Track", u"7"),
            Attribute::Text(u"WM/Composer", u"Writer One"),
            Attribute::Text(u"WM/Composer", u"Writer Two", Place::kMetadata),
            Attribute::Text(u"WMFSDKVersion", u"9.00.00.2980"),
            Attribute::Text(u"WMFSDKNeeded", u"0.0.0.0000"),
            Attribute::Text(u"Author", u"Guest", Place::kMetadataLibrary),
            Attribute::Dword(u"WM/TrackNumber", 8),
            Attribute::Text(u"WM/Mood", u"calm", Place::kMetadata, 1),
            Attribute::Text(u"DRM_LicenseAcqURL", u"http://licence.example/get"),
        };
        return layout;
    }
};

TEST_F(WmaFieldsTest, FieldsReadTheirAttributesJoinedAndStringOnly) {
    OpenedFile file(dir_.Write("tagged.wma", asf::MakeFile(TaggedSpec())));
    ASSERT_NE(file.get(), nullptr);
    struct Case {
        int id;
        const char* value;
    } cases[] = {
        {FIELD_TITLE, "Song"},
        {FIELD_ARTIST, "Singer;Guest"},  // content description first, then the library's
        {FIELD_ALBUM, "Record"},
        {FIELD_YEAR, "1999"},
        {FIELD_GENRE, "Jazz"},
        {FIELD_COMMENT, "Liner notes"},
        {FIELD_TRACK, "7"},
        {FIELD_COMPOSER, "Writer One;Writer Two"},
        {FIELD_WM_SDK_VERSION, "9.00.00.2980"},
        {FIELD_WM_SDK_NEEDED, "0.0.0.0000"},
        {FIELD_RATING, "4 stars"},
        {FIELD_TITLE2, ""}, {FIELD_LYRICS, ""}, {FIELD_COPYRIGHT, ""}, {FIELD_PICTURE, ""},
        {31, ""}, {99, ""}, {-1, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(TagParserGetData(file.get(), c.id), c.value) << c.id;

    struct Key {
        const char* name;
        const char* value;
    } keys[] = {
        {"title", "Song"}, {"TITLE", "Song"}, {"wm/albumtitle", "Record"},
        {"Copyright", "(c) Label"},
        {"WM/TrackNumber", ""},  // a number, not a string
        {"WM/Mood", ""},         // stream 1 only
        {"NoSuchName", ""}, {"", ""},
    };
    for (const auto& k : keys) EXPECT_EQ(TagParserGetExData(file.get(), k.name), k.value) << k.name;
    EXPECT_EQ(TagParserGetFileType(file.get()), FILE_TYPE_WMA);
}

TEST_F(WmaFieldsTest, AsfNamesAndUppercaseExtensionsAnswerAsWindowsMedia) {
    for (const char* name : {"clip.asf", "CLIP.ASF", "song.WmA"}) {
        OpenedFile file(dir_.Write(name, asf::MakeFile(TaggedSpec())));
        ASSERT_NE(file.get(), nullptr) << name;
        EXPECT_EQ(TagParserGetFileType(file.get()), FILE_TYPE_WMA) << name;
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Song") << name;
    }
}

TEST_F(WmaFieldsTest, FilesTagLibCannotReadStillOpenWithEmptyFields) {
    Bytes broken = asf::MakeFile(TaggedSpec());
    broken[0] ^= 0xFF;  // no longer an ASF Header Object
    for (const Bytes& data : {broken, Bytes(), Bytes{'R', 'I', 'F', 'F'}}) {
        OpenedFile file(dir_.Write("odd.wma", data));
        ASSERT_NE(file.get(), nullptr);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "");
        EXPECT_EQ(TagParserGetFileInfo(file.get(), 8), "Not Encrypted");
        EXPECT_EQ(TagParserApplyFile(file.get()), 0);
    }
    EXPECT_EQ(OpenedFile(dir_.File("missing.wma")).get(), nullptr);
}

TEST_F(WmaFieldsTest, TextOutsideTheBasicPlaneReadsInEveryLocale) {
    asf::FileSpec layout;
    layout.hasContentDescription = true;
    layout.content.title = u"Caf\u00E9 \U0001F3B5";
    layout.attributes = {Attribute::Text(u"WM/AlbumTitle", u"\u6F22\u5B57 \U00020BB7")};
    std::string path = dir_.Write("unicode.wma", asf::MakeFile(layout));
    for (const char* locale : {"C", "C.UTF-8"}) {
        ThreadLocale guard(locale);
        ASSERT_TRUE(guard.ok()) << locale;
        OpenedFile file(path);
        ASSERT_NE(file.get(), nullptr);
        EXPECT_EQ(TagParserGetDataW(file.get(), FIELD_TITLE), L"Caf\u00E9 \U0001F3B5") << locale;
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Caf\xC3\xA9 \xF0\x9F\x8E\xB5") << locale;
        EXPECT_EQ(TagParserGetDataW(file.get(), FIELD_ALBUM), L"\u6F22\u5B57 \U00020BB7") << locale;
    }
}

TEST_F(WmaFieldsTest, ProtectionComesFromTheEncryptionObjects) {
    struct Case {
        bool content, extended;
        const char* text;
    } cases[] = {{false, false, "Not Encrypted"},
                 {true, false, "Encrypted"},
                 {false, true, "Encrypted"},
                 {true, true, "Encrypted"}};
    for (const auto& c : cases) {
        asf::FileSpec layout = TaggedSpec();
        layout.contentEncryption = c.content;
        layout.extendedContentEncryption = c.extended;
        OpenedFile file(dir_.Write("drm.wma", asf::MakeFile(layout)));
        ASSERT_NE(file.get(), nullptr);
        EXPECT_EQ(TagParserGetFileInfo(file.get(), 8), c.text) << c.content << c.extended;
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Song");  // still read
    }
}

TEST_F(WmaFieldsTest, TechnicalTextsReportVersionsProtectionLicenceAndLength) {
    std::string path = dir_.Write("info.wma", asf::MakeFile(TaggedSpec()));
    OpenedFile file(path);
    ASSERT_NE(file.get(), nullptr);
    EXPECT_EQ(TagParserGetFileInfo(file.get(), 0),
              "Written by: 9.00.00.2980\nNeeds: 0.0.0.0000\nProtection: Not Encrypted\n"
              "Licence: http://licence.example/get\n");
    EXPECT_EQ(TagParserGetFileInfo(file.get(), 9), "http://licence.example/get");
    for (int kind : {1, 2, 3, 4, 6, 7, 10, -1}) EXPECT_EQ(TagParserGetFileInfo(file.get(), kind), "") << kind;
    struct Length {
        float seconds;
        const char* text;
    } lengths[] = {{215.9f, "215"}, {0.0f, "0"}, {-0.5f, "0"}, {-1.0f, "0"}, {-7.0f, "0"}};
    for (const auto& l : lengths) {
        engine_.length = l.seconds;
        EXPECT_EQ(TagParserGetFileInfo(file.get(), 5), l.text) << l.seconds;
    }
    EXPECT_EQ(engine_.lastPath, path);
    EXPECT_EQ(engine_.lastWide, 0);
}

TEST_F(WmaFieldsTest, ChangesWaitForApplyAndWideValuesAreRefused) {
    std::string path = dir_.Write("pending.wma", asf::MakeFile(TaggedSpec()));
    Bytes before = ReadBytes(path);
    OpenedFile file(path);
    ASSERT_NE(file.get(), nullptr);
    EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_TITLE, L"Wide"), 0);
    TagParserSetData(file.get(), FIELD_TITLE, "Narrow");
    EXPECT_EQ(TagParserSetExData(file.get(), "WM/Genre", "Blues"), 1);
    EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Song");
    EXPECT_EQ(TagParserGetData(file.get(), FIELD_GENRE), "Jazz");
    EXPECT_EQ(ReadBytes(path), before);  // what a save then does: the save tests
}

}  // namespace
