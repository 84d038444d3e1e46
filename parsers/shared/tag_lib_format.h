// TagLibFormat: what one file format adds to the parser over TagLib-backed
// formats (CTagLibFileParser): how its content is recognised and read from a
// spliced stream, the tag store that answers its fields, its audio
// properties and audio range, and how the store's changes reach the stream.
//
// Each parser folder (flac, mp4, riff, ape) implements it and offers a maker;
// the controller's table lists the makers. An object serves one reading of
// one stream and belongs to one thread at a time.
#ifndef LYPARSER_PARSERS_SHARED_TAG_LIB_FORMAT_H
#define LYPARSER_PARSERS_SHARED_TAG_LIB_FORMAT_H

#include <cstdint>
#include <memory>
#include <string>

namespace TagLib {
class AudioProperties;
}
class SplicedFileStream;
class TagStore;

// Where the audio itself lies: bytes [start, end) of the file.
struct AudioRange {
    int64_t start = 0;
    int64_t end = 0;
};

class TagLibFormat {
public:
    virtual ~TagLibFormat() = default;

    // The file-type code of this format (FILE_TYPE_FLAC, ...).
    virtual int FileType() const = 0;
    // Reads `stream` (which must outlive this object) from its start. False
    // when the content is not a file of this format, told from its first
    // bytes before anything else is read, or when it cannot be read; nothing
    // else may then be asked.
    virtual bool Read(SplicedFileStream* stream) = 0;

    // The tag that answers the fields; owned by this object, never null after
    // a successful Read.
    virtual TagStore* Store() = 0;
    // TagLib's audio properties; null when the file gave none.
    virtual const TagLib::AudioProperties* Properties() const = 0;
    // The format and codec as a person names them ("FLAC", "MPEG-4 AAC", ...).
    virtual std::string CodecName() const = 0;
    // Bits per sample; 0 where the format has none.
    virtual int BitsPerSample() const { return 0; }
    virtual AudioRange Audio() const = 0;

    // Puts the store's changes into the stream's content (the disk is
    // touched only when the stream is saved). False, the stream untouched,
    // when the file cannot take them.
    virtual bool Write(SplicedFileStream* stream) = 0;
};

// Makes an unread format object.
using TagLibFormatMaker = std::unique_ptr<TagLibFormat> (*)();

#endif  // LYPARSER_PARSERS_SHARED_TAG_LIB_FORMAT_H
