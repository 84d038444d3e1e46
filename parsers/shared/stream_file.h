// StreamFile: a TagLib::File over any stream, for TagLib's tag and atom
// classes that read through a File (ID3v2 and ID3v1 tags, MP4 atoms) where
// no TagLib file class of the format is used. It has no tag, no audio
// properties and no save of its own. One thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_STREAM_FILE_H
#define LYPARSER_PARSERS_SHARED_STREAM_FILE_H

#include <taglib/tfile.h>

class StreamFile : public TagLib::File {
public:
    // Reads and writes `stream`, which must outlive this object.
    explicit StreamFile(TagLib::IOStream* stream) : TagLib::File(stream) {}

    TagLib::Tag* tag() const override { return nullptr; }
    TagLib::AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

#endif  // LYPARSER_PARSERS_SHARED_STREAM_FILE_H
