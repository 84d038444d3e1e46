// ID3v2BadFrames: the frames of an MP3's ID3v2 tag that TagLib cannot read
// (a frame with no data, or with an identifier TagLib refuses). TagLib ends
// its reading of a tag at the first of them: every frame after it went
// unread, and a save then wrote the tag without any of them.
//
// Read() takes up the tag where TagLib stopped: the frames TagLib can read
// join the tag, the others are kept as their bytes. WriteInto() puts those
// bytes back, unchanged, after the frames of the tag a save wrote, where no
// reader stops before a readable frame. One thread at a time.
#ifndef LYPARSER_PARSERS_MPEG_ID3V2_BAD_FRAMES_H
#define LYPARSER_PARSERS_MPEG_ID3V2_BAD_FRAMES_H

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/tfile.h>

#include <vector>

class ID3v2BadFrames {
public:
    // Reads on where TagLib stopped reading `tag` (which may be null), the
    // tag at the start of `file`, with `factory`; the frames read are added
    // to `tag`. Call once, right after TagLib read the tag.
    void Read(TagLib::File* file, TagLib::ID3v2::Tag* tag,
              const TagLib::ID3v2::FrameFactory* factory);

    bool IsEmpty() const { return frames_.empty(); }
    // False when a save that writes the ID3v2 tag would lose a frame: one
    // that runs past the tag's end, or one a 2.4 tag cannot hold as it is.
    bool Writable() const { return writable_; }
    // Puts the frames after the frames of the ID3v2 tag at the start of
    // `file`, as a save just wrote it, or in a tag of their own when the save
    // wrote none.
    void WriteInto(TagLib::File* file) const;
    // Forgets the frames, as when the tag is removed.
    void Clear();

private:
    // Keeps `frame`'s bytes (a frame of tag version `version`) as a 2.4 frame.
    void Keep(const TagLib::ByteVector& frame, unsigned int version);

    std::vector<TagLib::ByteVector> frames_;  // each a whole 2.4 frame
    bool writable_ = true;
};

#endif  // LYPARSER_PARSERS_MPEG_ID3V2_BAD_FRAMES_H
