// The FLAC picture structure: what a FLAC PICTURE block holds, and what an
// Ogg stream's METADATA_BLOCK_PICTURE comment holds in base64. Read and made
// here for FLAC and Opus alike. Thread-safe.
#ifndef LYPARSER_PARSERS_SHARED_FLAC_PICTURE_H
#define LYPARSER_PARSERS_SHARED_FLAC_PICTURE_H

#include <taglib/tbytevector.h>

#include <string>

#include "parsers/shared/tag_store.h"

// Reads the structure in `data` into *picture; false when it holds none.
bool ReadFlacPicture(const TagLib::ByteVector& data, StoredPicture* picture);

// The structure of a picture of `type` made of `data`, whose type `mimeType`
// names. It keeps the description of the structure `old` it replaces (empty
// for a new picture); what the old image was (size, colours) goes with it.
TagLib::ByteVector MakeFlacPicture(const TagLib::ByteVector& old, int type,
                                   const TagLib::ByteVector& data, const std::string& mimeType);

#endif  // LYPARSER_PARSERS_SHARED_FLAC_PICTURE_H
