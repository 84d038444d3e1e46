// VorbisCommentList: the comment block of a FLAC file as the file holds it:
// the vendor string and each NAME=value entry's bytes, in file order. Names
// compare without regard to ASCII case. A change replaces every entry of a
// name with one entry at the place of the first (keeping that entry's
// spelling of the name); entries that were not changed keep their bytes and
// their order. One thread at a time.
#ifndef LYPARSER_PARSERS_FLAC_VORBIS_COMMENT_LIST_H
#define LYPARSER_PARSERS_FLAC_VORBIS_COMMENT_LIST_H

#include <taglib/tbytevector.h>
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

#include <string>
#include <vector>

class VorbisCommentList {
public:
    // Reads a comment block's data. False when it is malformed: the entries
    // before the fault are read, and Set then refuses to change anything, so
    // that the block is never rewritten without what could not be read.
    bool Parse(const TagLib::ByteVector& data);
    // The block's data: the vendor, then every entry.
    TagLib::ByteVector Render() const;

    // The values of every entry of `name`, decoded from UTF-8, in file order.
    TagLib::StringList Values(const std::string& name) const;
    // Replaces every entry of `name` with one entry of `value` (appended when
    // there is none); an empty value removes them. False, changing nothing,
    // when the block could not be read whole.
    bool Set(const std::string& name, const TagLib::String& value);
    bool Changed() const { return changed_; }

private:
    static bool NameIs(const TagLib::ByteVector& entry, const std::string& name);

    TagLib::ByteVector vendor_;
    std::vector<TagLib::ByteVector> entries_;
    bool broken_ = false;
    bool changed_ = false;
};

#endif  // LYPARSER_PARSERS_FLAC_VORBIS_COMMENT_LIST_H
