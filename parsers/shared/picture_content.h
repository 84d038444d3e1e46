// What a picture's bytes are, told from their first bytes: the MIME type to
// store beside a picture the host hands over. Thread-safe.
#ifndef LYPARSER_PARSERS_SHARED_PICTURE_CONTENT_H
#define LYPARSER_PARSERS_SHARED_PICTURE_CONTENT_H

#include <taglib/tbytevector.h>

#include <string>

// "image/jpeg", "image/png", "image/gif", "image/webp" or "image/bmp"; empty
// when the bytes are none of these (the picture is then refused).
std::string PictureMimeType(const TagLib::ByteVector& data);

#endif  // LYPARSER_PARSERS_SHARED_PICTURE_CONTENT_H
