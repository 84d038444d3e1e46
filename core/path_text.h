// Names taken from a path: file name, extension, file title and folder.
//
// The file name is the text after the last backslash, or after the last slash
// when there is no backslash; the whole path when there is neither or when the
// separator is the last character. Works on either width. Thread-safe.
#ifndef LYPARSER_CORE_PATH_TEXT_H
#define LYPARSER_CORE_PATH_TEXT_H

#include <string>

#include "core/string_ex.h"

template <typename Text>
Text PathFileName(const Text& path);
// Text after the file name's last "." (empty when none, or when "." ends it).
template <typename Text>
Text PathExtension(const Text& path);
// The file name without its last "." and extension.
template <typename Text>
Text PathFileTitle(const Text& path);
// The text before the last backslash (or slash); the whole path when neither.
template <typename Text>
Text PathFolder(const Text& path);

// The file title of `path` in the width the path was set in.
StringEx FileTitleOf(StringEx path);

#endif  // LYPARSER_CORE_PATH_TEXT_H
