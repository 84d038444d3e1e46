// Cover pictures as files: which image formats lytag attaches, told by their
// content, never by their name. The module stores every picture labelled
// image/jpeg, so the content is all that says what a picture is.
// Thread-safe (plain functions).
#ifndef LYPARSER_TOOLS_LYTAG_PICTURE_FILE_H
#define LYPARSER_TOOLS_LYTAG_PICTURE_FILE_H

#include <cstddef>
#include <string>

struct ImageKind {
    const char* name;       // "JPEG"
    const char* extension;  // "jpg", without the dot
};

// The image format whose signature `data` starts with, or null.
const ImageKind* ImageKindOf(const unsigned char* data, size_t size);

// Checks that `path` is a readable JPEG, PNG or GIF file; "" and its size in
// *bytes when it is, else the reason it cannot be attached.
std::string CheckPictureFile(const std::string& path, long long* bytes);

// `out` with the extension `kind` calls for: an image extension it has is
// replaced, any other name gets one appended. Null kind: ".bin".
std::string NameForPicture(const std::string& out, const ImageKind* kind);

#endif  // LYPARSER_TOOLS_LYTAG_PICTURE_FILE_H
