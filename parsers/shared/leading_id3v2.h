// LeadingId3v2: the ID3v2 tag some files carry at their very start, before
// the data of their own format (FLAC, Musepack, Monkey's Audio). It is read
// through TagLib and written back in its place, so that it can be kept in
// step with the file's own tag. One thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_LEADING_ID3V2_H
#define LYPARSER_PARSERS_SHARED_LEADING_ID3V2_H

#include <cstdint>
#include <memory>

namespace TagLib {
class IOStream;
namespace ID3v2 {
class Tag;
}
}  // namespace TagLib
class StreamFile;

class LeadingId3v2 {
public:
    LeadingId3v2();
    ~LeadingId3v2();

    // Reads the tag at the start of `stream`, which must outlive this object.
    // False when the stream does not start with one.
    bool Read(TagLib::IOStream* stream);
    // The tag; null when there is none.
    TagLib::ID3v2::Tag* Tag() const { return tag_.get(); }
    // Bytes the tag takes at the start of the file; 0 without one.
    int64_t Size() const { return size_; }
    // Puts the tag, rendered as ID3v2.4, in the place of the old one (an
    // empty tag removes it). Edits at later offsets must be made first.
    void Write(TagLib::IOStream* stream);

private:
    std::unique_ptr<StreamFile> file_;
    std::unique_ptr<TagLib::ID3v2::Tag> tag_;
    int64_t size_ = 0;
};

#endif  // LYPARSER_PARSERS_SHARED_LEADING_ID3V2_H
