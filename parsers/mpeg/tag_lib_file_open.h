// Opening a TagLib file by the end of its name, and the extended tag over it.
// Thread-safe.
#ifndef LYPARSER_PARSERS_MPEG_TAG_LIB_FILE_OPEN_H
#define LYPARSER_PARSERS_MPEG_TAG_LIB_FILE_OPEN_H

#include <taglib/tfile.h>

#include <memory>
#include <string>

class ExtendedTag;
class SplicedFileStream;

// The file class for the ending of `name` (".MP3", ".ACC", ".FLAC", ".MPC",
// ".APE", ".OGG", any case), reading `stream` (which must outlive it) with
// audio properties; null for a name under five characters or another ending.
// MPEG audio is read within the bounds CMPEGFile::LimitSearch sets. The result
// may be invalid: check isValid().
std::unique_ptr<TagLib::File> OpenTagLibFile(const std::string& name, SplicedFileStream* stream);

// The extended tag over `file`'s tags; null for a class without one. The file
// must outlive the result.
std::unique_ptr<ExtendedTag> MakeExtendedTag(TagLib::File* file);

#endif  // LYPARSER_PARSERS_MPEG_TAG_LIB_FILE_OPEN_H
