// GenreFrameFactory: TagLib's ID3v2 frame factory, except that
// - the genre (TCON) text of every version is kept exactly as stored instead
//   of being rewritten while reading, so that "(17)Text" forms of 2.2/2.3
//   tags can be answered by their rules and a 2.4 text as it was written;
// - the 2.2 frames TOA (original artist) and TXT (lyricist) become TOPE and
//   TEXT, not TagLib's TOAL (original album) and TOLY (original lyricist);
// - the 2.2 date, time and size frames (TDA, TIM, TSI) are read as their 2.3
//   successors TDAT, TIME and TSIZ, so that TagLib merges date and time into
//   the recording time as it does for 2.3 tags;
// - the volume adjustment and equalisation frames (2.3 RVAD and EQUA, 2.2
//   RVA and EQU under their 2.3 names) stay in the tag as their bytes,
//   where TagLib would drop them when it writes 2.4.
// Text frames that 2.4 has no place for are kept by UpgradeToVersion24
// (id3v2_upgrade.h) when the tag is saved.
//
// Use: pass GenreFrameFactory::Instance() to TagLib's file constructors, then
// call RestoreGenreFrames on the file's ID3v2 tag once it is read. The
// factory is stateless and thread-safe.
#ifndef LYPARSER_PARSERS_MPEG_GENRE_FRAME_FACTORY_H
#define LYPARSER_PARSERS_MPEG_GENRE_FRAME_FACTORY_H

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>

// Frame::Header is a protected member type of Frame; this names it so that
// the factory can override the hook that takes it.
struct ID3v2FrameHeaderName : TagLib::ID3v2::Frame {
    using Header = TagLib::ID3v2::Frame::Header;
};

class GenreFrameFactory : public TagLib::ID3v2::FrameFactory {
public:
    static GenreFrameFactory* Instance();

protected:
    bool updateFrame(ID3v2FrameHeaderName::Header* header) const override;

private:
    GenreFrameFactory() = default;
};

// Turns the genre frames the factory set aside back into TCON frames holding
// the stored text. `tag` may be null.
void RestoreGenreFrames(TagLib::ID3v2::Tag* tag);

#endif  // LYPARSER_PARSERS_MPEG_GENRE_FRAME_FACTORY_H
