// TagLib's text to and from the module's wide text, one wchar_t per
// character: characters outside the Basic Multilingual Plane survive both
// ways. Thread-safe.
#ifndef LYPARSER_PARSERS_SHARED_TAG_LIB_TEXT_H
#define LYPARSER_PARSERS_SHARED_TAG_LIB_TEXT_H

#include <taglib/tstring.h>

#include <string>

TagLib::String ToTagText(const std::wstring& text);
std::wstring FromTagText(const TagLib::String& text);

#endif  // LYPARSER_PARSERS_SHARED_TAG_LIB_TEXT_H
