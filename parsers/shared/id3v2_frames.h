// Id3v2Frames: the rules by which the frames of an ID3v2 tag answer the
// fields, one implementation for MP3's second tag and for the ID3v2 chunk of
// WAV and AIFF files.
//
// - A text field is the first frame of its identifier, its values joined
//   with "; ". A value set goes into that frame as one value (a UTF-8 frame
//   is made when there is none); an empty value removes every frame of it.
// - The comment, lyrics and URL are the COMM, USLT and WXXX frames without a
//   description. Other programs keep their own data in described frames
//   (iTunes its gapless and volume values, "iTunPGAP", "iTunNORM"; taggers a
//   homepage), which these fields never change. When there is no plain
//   frame, the comment and lyrics read the first frame whose description is
//   not a program's, the URL the first frame.
// - The picture is the front cover, else the first APIC frame. A new front
//   cover takes the place of the front cover (or of a lone picture of type
//   "other", as this module wrote covers before) and keeps every other
//   picture.
// - A frame TagLib holds only as bytes it could not decode (encrypted, or
//   compressed in a way it cannot unpack) cannot take a value: a value set
//   takes its place.
//
// Whether a value equal to what a field reads changes anything is for the
// caller to ask (Text, Described): these operations always change the tag.
// Wraps a TagLib tag it does not own. One thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_ID3V2_FRAMES_H
#define LYPARSER_PARSERS_SHARED_ID3V2_FRAMES_H

#include <taglib/tbytevector.h>
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

#include <string>
#include <vector>

namespace TagLib {
namespace ID3v2 {
class AttachedPictureFrame;
class Frame;
class Tag;
}  // namespace ID3v2
}  // namespace TagLib

class Id3v2Frames {
public:
    using Text = TagLib::String;
    using Picture = TagLib::ID3v2::AttachedPictureFrame;

    // A URL of this many characters or more has no place in the tag.
    static constexpr unsigned int kMaxUrlLength = 10000;
    // The picture type of a front cover, and of "other".
    static constexpr int kFrontCover = 3;
    static constexpr int kOtherPicture = 0;
    // The language of a comment or lyrics frame that has none: ID3v2.4's
    // "unknown".
    static constexpr char kUnknownLanguage[] = "XXX";

    // `tag` must not be null and must outlive this object.
    explicit Id3v2Frames(TagLib::ID3v2::Tag* tag) : tag_(tag) {}

    // The first frame of `id`; null when there is none.
    TagLib::ID3v2::Frame* FirstFrame(const char* id) const;
    // The non-empty values of the first frame of `id`, in order.
    TagLib::StringList TextValues(const char* id) const;
    // TextValues joined with "; ".
    Text JoinedText(const char* id) const;
    void SetText(const char* id, const Text& value);

    // COMM, USLT or WXXX (`id`): the text (the URL) the field reads.
    Text Described(const char* id) const;
    // Puts `value` into the frame of `id` without a description, made
    // (Latin-1, language "XXX") when there is none; an empty value removes
    // those frames. False, changing nothing, for a URL of kMaxUrlLength
    // characters or more. A URL keeps only what Latin-1 holds ("?" else).
    bool SetDescribed(const char* id, const Text& value);

    // Every APIC frame TagLib read, in tag order.
    std::vector<Picture*> Pictures() const;
    // The picture the fields answer: the front cover, else the first.
    Picture* ShownPicture() const;
    // The first picture of `type`; null when there is none.
    Picture* PictureOfType(int type) const;
    // Puts a picture of `type` made of `data` (whose type `mimeType` names)
    // in the place of the first picture of that type, else adds it; a front
    // cover also takes the place of a lone picture of type "other". The
    // frame gets no description; every other picture stays.
    void SetPicture(int type, const TagLib::ByteVector& data, const std::string& mimeType);
    // Removes every picture of `type`, or every picture when `type` is
    // negative; false when there was none.
    bool RemovePictures(int type);

    // Removes the frames TagLib could not decode, of `id` or, when `id` is
    // null, of every identifier.
    void RemoveUndecodable(const char* id);
    // True when TagLib holds `frame` only as bytes it could not decode.
    static bool Undecodable(const TagLib::ID3v2::Frame* frame);

private:
    TagLib::ID3v2::Tag* tag_;
};

// Several values of one frame as the fields read them: joined with "; ".
TagLib::String JoinedId3v2Values(const TagLib::StringList& values);

#endif  // LYPARSER_PARSERS_SHARED_ID3V2_FRAMES_H
