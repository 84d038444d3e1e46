// Text helpers of the tag model: TagLib text to and from the module's wide
// text (parsers/shared/tag_lib_text.h), byte-for-byte Latin-1 text, and the
// leading number of a text.
// Thread-safe.
#ifndef LYPARSER_PARSERS_MPEG_TAG_TEXT_H
#define LYPARSER_PARSERS_MPEG_TAG_TEXT_H

#include <taglib/tbytevector.h>
#include <taglib/tstring.h>

#include <string>

#include "parsers/shared/tag_lib_text.h"

// Each byte one character, up to the first zero byte.
TagLib::String BytesAsLatin1(const std::string& bytes);

// The text's bytes where only Latin-1 can be stored (ID3v1 fields, URL
// frames): a character Latin-1 cannot hold becomes "?".
TagLib::ByteVector Latin1Bytes(const TagLib::String& text);

// The text without the blanks and zero bytes that pad its end.
TagLib::String TrimTrailingBlanks(const TagLib::String& text);

// The value of the text's leading decimal digits, 0 when it starts with none;
// values beyond the int range are held at its maximum.
long long LeadingNumber(const TagLib::String& text);

// True when the text is one or more decimal digits and nothing else.
bool IsAllDigits(const TagLib::String& text);

#endif  // LYPARSER_PARSERS_MPEG_TAG_TEXT_H
