// The extended tag model on TagLib tags held in memory: which frame, item or
// field serves each operation, the year, track and genre rules, and how the
// FLAC and Musepack combining tags choose (these never arrive through the
// exports, so they are tested here).
#include <gtest/gtest.h>
#include <taglib/apetag.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/xiphcomment.h>

#include <memory>

#include "parsers/mpeg/ape_extended_tag.h"
#include "parsers/mpeg/combined_tag.h"
#include "parsers/mpeg/flac_tag.h"
#include "parsers/mpeg/id3v1_extended_tag.h"
#include "parsers/mpeg/id3v2_extended_tag.h"
#include "parsers/mpeg/xiph_extended_tag.h"

namespace TagLib {
// Lets test messages show TagLib text.
inline std::ostream& operator<<(std::ostream& out, const String& text) { return out << text.to8Bit(true); }
}  // namespace TagLib

namespace {

using TagLib::String;
namespace ID3v2 = TagLib::ID3v2;

class TagModelTest : public ::testing::Test {
protected:
    String FrameText(const char* id) {
        ID3v2::FrameList frames = id3v2_.frameList(id);
        return frames.isEmpty() ? String("<none>") : frames.front()->toString();
    }

    ID3v2::Tag id3v2_;
    TagLib::ID3v1::Tag id3v1_;
    ID3v2ExtendedTag v2_{&id3v2_};
    ID3v1ExtendedTag v1_{&id3v1_};
};

TEST_F(TagModelTest, ID3v2YearAndTrackKeepTheTextAndNeedANumberAboveZero) {
    struct Case {
        String given;
        String stored;  // TDRC / TRCK text, "<none>" when removed
        String year;    // year(): four characters
    } cases[] = {
        {"2009-05", "2009-05", "2009"}, {"0", "<none>", ""},    {"abc", "<none>", ""},
        {"1999", "1999", "1999"},       {"07x", "07x", "07x"},  {"", "<none>", ""},
    };
    for (const auto& c : cases) {
        v2_.setYear("1980");
        v2_.setYear(c.given);
        EXPECT_EQ(FrameText("TDRC"), c.stored) << c.given;
        EXPECT_EQ(v2_.year(), c.year) << c.given;
    }
    v2_.setTrack("3/12");
    EXPECT_EQ(FrameText("TRCK"), "3/12");
    EXPECT_EQ(v2_.track(), "3/12");
    v2_.setTrack("0/12");
    EXPECT_EQ(FrameText("TRCK"), "<none>");
}

TEST_F(TagModelTest, ID3v2GenreFollowsTheTagVersion) {
    struct Case {
        int major;
        String field, genre;
    } cases[] = {
        {4, "17", "Rock"},        {4, "147", "Synthpop"},   {4, "148", ""},
        {4, "256", "256"},        {4, "(17)", "(17)"},      {3, "(17)", "Rock"},
        {3, "(17)Grunge Pop", "Grunge Pop"},                {3, "Trip", "Trip"},
        {3, "17", "17"},          {2, "(9)", "Metal"},
    };
    for (const auto& c : cases) {
        ID3v2::Tag tag;
        tag.header()->setMajorVersion(c.major);
        auto* frame = new ID3v2::TextIdentificationFrame("TCON");
        frame->setText(c.field);
        tag.addFrame(frame);
        EXPECT_EQ(ID3v2ExtendedTag(&tag).genre(), c.genre) << c.major << " " << c.field;
    }
    ID3v2::Tag tag;
    auto* frame = new ID3v2::TextIdentificationFrame("TCON");
    frame->setText(TagLib::StringList(String("13")).append("Indie Folk").append("80"));
    tag.addFrame(frame);
    EXPECT_EQ(ID3v2ExtendedTag(&tag).genre(), "Pop Indie Folk Folk");
}

TEST_F(TagModelTest, SetGenreStoresTheIndexOfAKnownName) {
    struct Case {
        String name;
        String id3v2Text;
        unsigned int id3v1Byte;
        String id3v1Genre;
    } cases[] = {
        {"Rock", "17", 17, "Rock"},
        {"Polka", "75", 75, "Polka"},
        {"Synthpop", "147", 147, "Synthpop"},
        {"rock", "rock", 255, ""},
        {"Shoegaze", "Shoegaze", 255, ""},
    };
    for (const auto& c : cases) {
        v2_.setGenre(c.name);
        v1_.setGenre(c.name);
        EXPECT_EQ(FrameText("TCON"), c.id3v2Text) << c.name;
        EXPECT_EQ(id3v1_.genreNumber(), c.id3v1Byte) << c.name;
        EXPECT_EQ(v1_.genre(), c.id3v1Genre) << c.name;
    }
    v2_.setGenre("");
    EXPECT_EQ(FrameText("TCON"), "<none>");
}

TEST_F(TagModelTest, ID3v1TrackYearAndTextRules) {
    struct Case {
        String track;
        unsigned int stored;
        String read;
    } cases[] = {{"3/12", 3, "3"}, {"255", 255, "255"}, {"256", 0, ""}, {"x", 0, ""}, {"0", 0, ""}};
    for (const auto& c : cases) {
        v1_.setTrack(c.track);
        EXPECT_EQ(id3v1_.track(), c.stored) << c.track;
        EXPECT_EQ(v1_.track(), c.read) << c.track;
    }
    v1_.setYear("2009-05");
    EXPECT_EQ(v1_.year(), "2009");
    v1_.setYear("'9x");
    EXPECT_EQ(v1_.year(), "'9x");
    v1_.setTitle("Blanks stay   ");
    EXPECT_EQ(v1_.title(), "Blanks stay   ");
    EXPECT_FALSE(v1_.isEmpty());
    TagLib::ID3v1::Tag fresh;
    EXPECT_TRUE(ID3v1ExtendedTag(&fresh).isEmpty());
}

TEST_F(TagModelTest, NewCommentsAndLyricsAreLatin1AndGetALanguageOfSpacesWhenWritten) {
    v2_.setComment("note");
    v2_.setLyrics("la la");
    v2_.setTitle("T\xc3\xa9");
    auto* comment = dynamic_cast<ID3v2::CommentsFrame*>(id3v2_.frameList("COMM").front());
    auto* lyrics = dynamic_cast<ID3v2::UnsynchronizedLyricsFrame*>(id3v2_.frameList("USLT").front());
    ASSERT_TRUE(comment && lyrics);
    EXPECT_EQ(comment->textEncoding(), String::Latin1);
    EXPECT_EQ(lyrics->textEncoding(), String::Latin1);
    EXPECT_EQ(comment->description(), "");
    auto* latin1Title = new ID3v2::TextIdentificationFrame("TPE1", String::Latin1);
    latin1Title->setText("x");
    id3v2_.addFrame(latin1Title);
    v2_.normalizeForWriting();
    EXPECT_EQ(comment->language(), TagLib::ByteVector("   "));
    EXPECT_EQ(lyrics->language(), TagLib::ByteVector("   "));
    EXPECT_EQ(latin1Title->textEncoding(), String::UTF8);
    EXPECT_EQ(v2_.comment(), "note");
    EXPECT_EQ(v2_.lyrics(), "la la");
    v2_.setComment("");
    v2_.removeLyrics();
    EXPECT_TRUE(id3v2_.frameList("COMM").isEmpty());
    EXPECT_TRUE(id3v2_.frameList("USLT").isEmpty());
}

TEST_F(TagModelTest, UrlIsStoredAfterAnEmptyDescriptionAndLimitedInLength) {
    v2_.setUrl("http://example.org/a");
    EXPECT_EQ(v2_.url(), "http://example.org/a");
    EXPECT_EQ(id3v2_.frameList("WXXX").size(), 1u);
    v2_.setUrl(String(std::string(9999, 'u')));
    EXPECT_EQ(v2_.url().size(), 9999u);
    v2_.setUrl(String(std::string(10000, 'u')));
    EXPECT_TRUE(id3v2_.frameList("WXXX").isEmpty());
    EXPECT_EQ(v2_.url(), "");
}

TEST_F(TagModelTest, ApeAndXiphYearAndTrackRules) {
    TagLib::APE::Tag ape;
    TagLib::Ogg::XiphComment xiph;
    APEExtendedTag apeTag(&ape);
    XiphExtendedTag xiphTag(&xiph);
    apeTag.setYear("2001-02");
    xiphTag.setYear("2001-02");
    EXPECT_EQ(apeTag.year(), "2001-02");
    EXPECT_EQ(xiphTag.year(), "2001-02");
    apeTag.setYear("none");
    xiphTag.setYear("0");
    EXPECT_TRUE(ape.itemListMap().find("YEAR") == ape.itemListMap().end());
    EXPECT_FALSE(xiph.contains("DATE"));
    apeTag.setTrack("4/9");
    xiphTag.setTrack("4/9");
    EXPECT_EQ(apeTag.track(), "4/9");
    EXPECT_EQ(xiphTag.track(), "4/9");

    xiph.addField("COMMENT", "old");
    EXPECT_EQ(xiphTag.comment(), "old");
    xiphTag.setComment("new");
    EXPECT_EQ(xiph.fieldListMap()["DESCRIPTION"].front(), "new");
    EXPECT_EQ(xiphTag.comment(), "new");
    EXPECT_FALSE(xiphTag.isEmpty());
    TagLib::Ogg::XiphComment empty;
    EXPECT_TRUE(XiphExtendedTag(&empty).isEmpty());
}

TEST_F(TagModelTest, FlacTagReadsTheFirstCountingValueAndWritesToEveryTag) {
    TagLib::Ogg::XiphComment xiph;
    xiph.addField("TITLE", "From Xiph");
    xiph.addField("DATE", "0");
    id3v2_.setTitle("From ID3v2");
    id3v2_.setArtist("ID3v2 Artist");
    v2_.setYear("2003");
    id3v1_.setAlbum("ID3v1 Album");
    id3v1_.setTitle("From ID3v1");
    FLACTag flac(&xiph, &id3v2_, &id3v1_);
    EXPECT_EQ(flac.title(), "From Xiph");
    EXPECT_EQ(flac.artist(), "ID3v2 Artist");
    EXPECT_EQ(flac.album(), "ID3v1 Album");
    EXPECT_EQ(flac.year(), "2003");  // the Xiph "0" does not count

    flac.setArtist("Everywhere");
    EXPECT_EQ(xiph.artist(), "Everywhere");
    EXPECT_EQ(id3v2_.artist(), "Everywhere");
    EXPECT_EQ(id3v1_.artist(), "Everywhere");

    flac.setComposer("Composer");
    EXPECT_EQ(flac.composer(), "Composer");
    EXPECT_EQ(FrameText("TCOM"), "Composer");

    TagLib::Ogg::XiphComment onlyXiph;
    FLACTag withoutId3v2(&onlyXiph, nullptr, nullptr);
    withoutId3v2.setComposer("nobody");
    withoutId3v2.setLyrics("none");
    withoutId3v2.setTitle("T");
    EXPECT_EQ(withoutId3v2.composer(), "");
    EXPECT_EQ(withoutId3v2.lyrics(), "");
    EXPECT_EQ(withoutId3v2.title(), "T");
    EXPECT_EQ(onlyXiph.fieldCount(), 1u);
}

TEST_F(TagModelTest, CombinedTagPrefersTheFirstTagAndWritesBoth) {
    auto* ape = new TagLib::APE::Tag();
    ape->setTitle("APE Title");
    ape->addValue("TRACK", "0", true);
    id3v1_.setTitle("ID3v1 Title");
    id3v1_.setArtist("ID3v1 Artist");
    id3v1_.setTrack(7);
    std::unique_ptr<TagLib::APE::Tag> owned(ape);
    CombinedTag combined(std::make_unique<APEExtendedTag>(ape), std::make_unique<ID3v1ExtendedTag>(&id3v1_));
    EXPECT_EQ(combined.title(), "APE Title");
    EXPECT_EQ(combined.artist(), "ID3v1 Artist");
    EXPECT_EQ(combined.track(), "7");
    combined.setAlbum("Both");
    EXPECT_EQ(ape->album(), "Both");
    EXPECT_EQ(id3v1_.album(), "Both");
    combined.setComposer("ignored");
    EXPECT_EQ(combined.composer(), "");

    CombinedTag secondOnly(nullptr, std::make_unique<ID3v1ExtendedTag>(&id3v1_));
    EXPECT_EQ(secondOnly.title(), "ID3v1 Title");
    secondOnly.setTitle("Changed");
    EXPECT_EQ(id3v1_.title(), "Changed");
}

}  // namespace
