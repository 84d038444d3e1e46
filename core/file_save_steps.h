// Steps FileSave's two paths share (core/file_save.cpp, the rename path, and
// core/file_save_in_place.cpp). Internal to FileSave.
#ifndef LYPARSER_CORE_FILE_SAVE_STEPS_H
#define LYPARSER_CORE_FILE_SAVE_STEPS_H

#include <cstddef>
#include <cstdint>
#include <string>

// The copy buffer's size, and the most old bytes an in-place write keeps in
// memory to put back after a failure.
constexpr size_t kSaveBufferSize = 1024 * 1024;
// Appended to a folder and a name for a new file that cannot be unnamed.
constexpr char kSafetySuffix[] = ".lyparser-safe-XXXXXX";

// Reserves room for `size` bytes so that a full disk shows before anything
// is written; false only when the disk or the size limit says no.
bool ReserveSpace(int fd, int64_t size);
// A new file named from `pattern` (ending in XXXXXX), created exclusively;
// *pattern receives the name. -1 on failure.
int CreateUnique(std::string* pattern);
// Different on each call, in this process and any other.
std::string UniqueNameSuffix();
// Gives the unnamed file `fd` the name `stem` plus a unique suffix, never
// replacing a file; *path receives it. False on failure.
bool LinkUnnamed(int fd, const std::string& stem, std::string* path);

#endif  // LYPARSER_CORE_FILE_SAVE_STEPS_H
