// GenreFrameFactory: TagLib's ID3v2 frame factory, except that the genre
// (TCON) text of 2.2 and 2.3 tags is kept exactly as stored instead of being
// rewritten while reading, so that "(17)Text" forms can be answered as they
// were written.
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
