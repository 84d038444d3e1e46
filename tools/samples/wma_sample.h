// Windows Media (ASF) files made from code: a header with File Properties,
// Stream Properties (one audio stream), optional Content Description,
// Extended Content Description, Metadata and Metadata Library objects and
// encryption objects, then a Data Object with fixed-size packets and an
// optional Simple Index Object. Texts are given as UTF-16 and written as the
// format stores them. Thread-safe: plain functions of their arguments.
#ifndef LYPARSER_TOOLS_SAMPLES_WMA_SAMPLE_H
#define LYPARSER_TOOLS_SAMPLES_WMA_SAMPLE_H

#include <cstdint>
#include <string>
#include <vector>

namespace asf {

using Bytes = std::vector<unsigned char>;

enum class Type : uint16_t {
    kUnicode = 0,
    kBytes = 1,
    kBool = 2,
    kDword = 3,
    kQword = 4,
    kWord = 5
};
// Which header object holds an attribute.
enum class Place { kExtendedContent, kMetadata, kMetadataLibrary };

struct Attribute {
    std::u16string name;
    Type type = Type::kUnicode;
    Bytes value;  // stored bytes; a text's include its terminating NUL
    Place place = Place::kExtendedContent;
    uint16_t stream = 0;
    uint16_t language = 0;

    static Attribute Text(std::u16string name, const std::u16string& value,
                          Place place = Place::kExtendedContent, uint16_t stream = 0);
    static Attribute Dword(std::u16string name, uint32_t value,
                           Place place = Place::kExtendedContent);
};

// The five content-description texts; an empty one is stored with length 0.
struct ContentDescription {
    std::u16string title, author, copyright, description, rating;
};

struct FileLayout {
    bool hasContentDescription = false;
    ContentDescription content;
    std::vector<Attribute> attributes;
    bool contentEncryption = false;
    bool extendedContentEncryption = false;
    bool dataObject = true;
    uint32_t packets = 8;
    uint32_t packetSize = 256;
    bool indexObject = false;
};

// A whole file laid out as `layout` says.
Bytes MakeFile(const FileLayout& layout);

// Where the Data Object's body begins and ends in MakeFile(layout); -1 and -1
// without a Data Object.
int64_t DataBodyStart(const FileLayout& layout);
int64_t DataBodyEnd(const FileLayout& layout);

}  // namespace asf

// The demo's WMA file: a few seconds' worth of packets with title, artist,
// album, year, genre, track, composer and the runtime versions set.
std::vector<unsigned char> MakeWmaSample();

#endif  // LYPARSER_TOOLS_SAMPLES_WMA_SAMPLE_H
