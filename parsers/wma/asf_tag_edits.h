// The edits CWMAHeaderEditor makes to TagLib's ASF tag: removing the stream-0
// values of a name, putting a name's values in the order readers take them,
// and writing the track number. One tag belongs to one thread at a time.
#ifndef LYPARSER_PARSERS_WMA_ASF_TAG_EDITS_H
#define LYPARSER_PARSERS_WMA_ASF_TAG_EDITS_H

#include <taglib/asftag.h>

#include <string>

#include "parsers/wma/asf_attribute_layout.h"

// The track number most files carry, counting from 1, and the legacy one,
// counting from 0.
inline constexpr wchar_t kAsfTrackNumber[] = L"WM/TrackNumber";
inline constexpr wchar_t kAsfLegacyTrack[] = L"WM/Track";

// Removes every stream-0 attribute of `name`, of any type.
void RemoveStreamZero(TagLib::ASF::Tag* tag, const TagLib::String& name);

// Puts the values of each name in the order `layout` says readers take them,
// for every name whose values the layout places all of.
void PutInReaderOrder(TagLib::ASF::Tag* tag, const AsfAttributeLayout& layout);

// A number attribute (word, double or quad word) in decimal; "" for others.
std::wstring NumberText(const TagLib::ASF::Attribute& attribute);

// Writes `text` as the track number: WM/TrackNumber in the type the tag holds
// it in (text when it holds none, or when `text` is no plain number that type
// takes); an existing WM/Track becomes the number `text` begins with, less 1,
// in its own type, or goes when that number is not above 0. An empty `text`
// removes both.
void WriteAsfTrackNumber(TagLib::ASF::Tag* tag, const std::wstring& text);

#endif  // LYPARSER_PARSERS_WMA_ASF_TAG_EDITS_H
