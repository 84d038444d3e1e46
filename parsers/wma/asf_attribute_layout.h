// Where an ASF header keeps its attribute values, which TagLib does not
// tell, and its Content Description Object as a save leaves it.
//
// Readers take the values of one name object by object: the content
// description, the extended content description, the metadata, then the
// metadata library. TagLib reads them in the order the objects lie in the
// header, and writes the first value of a name into the extended content
// description; so a name's values are put in reader order after TagLib has
// read them, and a save keeps that order. TagLib also writes every
// content-description text, an empty one as an empty string that readers
// list as a value; a save leaves those out again. Plain functions of their
// arguments; thread-safe.
#ifndef LYPARSER_PARSERS_WMA_ASF_ATTRIBUTE_LAYOUT_H
#define LYPARSER_PARSERS_WMA_ASF_ATTRIBUTE_LAYOUT_H

#include <array>
#include <map>
#include <string>
#include <vector>

// The objects that hold attribute values, in the order readers take them.
enum class AsfPlace { kExtendedContent = 1, kMetadata = 2, kMetadataLibrary = 3 };

// The content-description texts: title, author, copyright, description, rating.
constexpr size_t kAsfContentTexts = 5;
using AsfContentFlags = std::array<bool, kAsfContentTexts>;

struct AsfAttributeLayout {
    // The place of each value of a name, in header order (the order TagLib
    // reads them); names as TagLib reads them, trailing NULs removed.
    std::map<std::wstring, std::vector<AsfPlace>> places;
    // Content-description texts stored as an empty string, not left out.
    AsfContentFlags storedEmpty{};
};

// Reads where `header` (a whole Header Object that ScanAsfHeader found
// parseable) keeps its values. A record that does not fit ends the walk of
// its object.
AsfAttributeLayout ReadAsfAttributeLayout(const std::vector<unsigned char>& header);

// Rewrites the Content Description Object of `header` (a whole Header
// Object) so that each empty text is left out (length 0), except those set in
// `keepEmpty`, and corrects the object's and the header's sizes. False, with
// `header` unchanged, when it holds no such object or the object does not
// hold together.
bool LeaveOutEmptyContentTexts(std::vector<unsigned char>* header,
                               const AsfContentFlags& keepEmpty);

#endif  // LYPARSER_PARSERS_WMA_ASF_ATTRIBUTE_LAYOUT_H
