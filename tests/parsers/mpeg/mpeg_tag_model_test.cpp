// The tags of FLAC and Musepack files, which never arrive through the exports:
// the APE and Xiph year, track and comment rules, and how the FLAC and
// Musepack combining tags choose, on TagLib tags held in memory.
#include <gtest/gtest.h>
#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/xiphcomment.h>

#include <initializer_list>
#include <memory>

#include "parsers/mpeg/ape_extended_tag.h"
#include "parsers/mpeg/combined_tag.h"
#include "parsers/mpeg/flac_tag.h"
#include "parsers/mpeg/id3v1_extended_tag.h"
#include "parsers/mpeg/xiph_extended_tag.h"

namespace TagLib {
// Lets test messages show TagLib text.
inline std::ostream& operator<<(std::ostream& out, const String& text) {
    return out << text.to8Bit(true);
}
}  // namespace TagLib

namespace {

TEST(TagModelTest, ApeAndXiphYearTrackAndCommentRules) {
    TagLib::APE::Tag ape;
    TagLib::Ogg::XiphComment xiph;
    APEExtendedTag apeTag(&ape);
    XiphExtendedTag xiphTag(&xiph);
    for (ExtendedTag* tag : std::initializer_list<ExtendedTag*>{&apeTag, &xiphTag}) {
        tag->setYear("2001-02");
        tag->setTrack("4/9");
        EXPECT_EQ(tag->year() + tag->track(), "2001-024/9");
    }
    apeTag.setYear("none");
    xiphTag.setYear("0");
    apeTag.setTrack("0");
    xiphTag.setTrack("x");
    EXPECT_TRUE(ape.itemListMap().isEmpty() && xiphTag.isEmpty());

    xiph.addField("COMMENT", "old");
    EXPECT_EQ(xiphTag.comment(), "old");
    xiphTag.setComment("new");
    EXPECT_EQ(xiph.fieldListMap()["DESCRIPTION"].toString() + xiphTag.comment(), "newnew");
}

TEST(TagModelTest, FlacTagReadsTheFirstCountingValueAndWritesToEveryTag) {
    TagLib::Ogg::XiphComment xiph;
    TagLib::ID3v2::Tag id3v2;
    TagLib::ID3v1::Tag id3v1;
    xiph.addField("TITLE", "From Xiph");
    xiph.addField("DATE", "0");
    id3v2.setTitle("From ID3v2");
    id3v2.setArtist("ID3v2 Artist");
    id3v2.setYear(2003);
    id3v1.setAlbum("ID3v1 Album");
    FLACTag flac(&xiph, &id3v2, &id3v1);
    EXPECT_EQ(flac.title() + "|" + flac.artist() + "|" + flac.album() + "|" + flac.year(),
              "From Xiph|ID3v2 Artist|ID3v1 Album|2003");  // the Xiph "0" does not count
    flac.setArtist("Everywhere");
    flac.setComposer("Composer");
    EXPECT_EQ(xiph.artist() + id3v2.artist() + id3v1.artist() + flac.composer(),
              "EverywhereEverywhereEverywhereComposer");

    TagLib::Ogg::XiphComment onlyXiph;
    FLACTag withoutId3v2(&onlyXiph, nullptr, nullptr);
    withoutId3v2.setComposer("nobody");
    withoutId3v2.setTitle("T");
    EXPECT_EQ(withoutId3v2.composer() + withoutId3v2.title() +
                  TagLib::String::number(static_cast<int>(onlyXiph.fieldCount())),
              "T1");  // nothing but the title reached the Xiph comment
}

TEST(TagModelTest, CombinedTagPrefersTheFirstTagAndWritesBoth) {
    TagLib::ID3v1::Tag id3v1;
    auto ape = std::make_unique<TagLib::APE::Tag>();
    ape->setTitle("APE Title");
    ape->addValue("TRACK", "0", true);
    id3v1.setTitle("ID3v1 Title");
    id3v1.setArtist("ID3v1 Artist");
    id3v1.setTrack(7);
    CombinedTag combined(std::make_unique<APEExtendedTag>(ape.get()),
                         std::make_unique<ID3v1ExtendedTag>(&id3v1));
    EXPECT_EQ(combined.title() + "|" + combined.artist() + "|" + combined.track(),
              "APE Title|ID3v1 Artist|7");
    combined.setAlbum("Both");
    EXPECT_EQ(ape->album() + id3v1.album(), "BothBoth");
    combined.setComposer("ignored");
    EXPECT_EQ(combined.composer(), "");

    CombinedTag secondOnly(nullptr, std::make_unique<ID3v1ExtendedTag>(&id3v1));
    secondOnly.setTitle("Changed");
    EXPECT_EQ(secondOnly.title() + id3v1.title(), "ChangedChanged");
}

}  // namespace
