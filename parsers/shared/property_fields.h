// The field ids of the TagLib-backed formats as TagLib property names: one
// tag answers the basic fields (0-6) and the second-tag fields (7-13) alike,
// the others under the names TagLib's property maps give them. Thread-safe.
#ifndef LYPARSER_PARSERS_SHARED_PROPERTY_FIELDS_H
#define LYPARSER_PARSERS_SHARED_PROPERTY_FIELDS_H

#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

#include <string>

// The property of `fieldId`, or null for an id without one (the picture
// fields, 36 and 37, and ids naming no field).
const char* PropertyOfField(int fieldId);

// True for the seven properties of the basic fields (an ID3v1 tag holds no
// others).
bool IsBasicProperty(const std::string& property);

// Several values of one name, as a field reads them: joined with "; ".
TagLib::String JoinValues(const TagLib::StringList& values);

// "n" or "n/m" from the leading numbers of `text` (n = 0 without digits);
// *total is 0 when there is no "/m".
int LeadingNumber(const TagLib::String& text, int* total = nullptr);

#endif  // LYPARSER_PARSERS_SHARED_PROPERTY_FIELDS_H
