// Why a file cannot be read or saved. The module answers a refusal only with
// a null handle or 0, so lytag asks the file system itself (stat, faccessat,
// free space, the size limit) to tell the user the reason. Thread-safe.
#ifndef LYPARSER_TOOLS_LYTAG_FILE_CHECK_H
#define LYPARSER_TOOLS_LYTAG_FILE_CHECK_H

#include <string>

class IBaseTag;

// The reason lytag gives for a file the module would not open.
extern const char kNotAudio[];

// Why `path` cannot be read as a regular file ("No such file or directory",
// "Is a directory", "Permission denied", ...), or "" when it can.
std::string ReadProblem(const std::string& path);

// Why no save may touch `path` (an interrupted save left it half written, and
// where its copy is), or "".
std::string PendingProblem(const std::string& path);

// Why the module refused to open `path`: ReadProblem's answer, else kNotAudio.
std::string OpenRefusal(const std::string& path);

// Why a save of `path` would be refused before it starts (this process may
// not write the file, PendingProblem), or "".
std::string WriteProblem(const std::string& path);

// Why a save of `path` failed, looked for after the fact: WriteProblem's
// answer, too little free space for a copy of the file, the file size limit,
// or "" when none of them is the cause.
std::string SaveProblem(const std::string& path);

// Why the file open as `handle` is no audio at all though the module opened
// it (a file named .mp3 in which no MPEG audio frame was found, holding more
// than tags), or "". The module never writes such a file.
std::string NoAudioProblem(IBaseTag* handle, const std::string& file);

// Prints "lytag: FILE: REASON" on stderr.
void ReportFile(const std::string& file, const std::string& reason);

#endif  // LYPARSER_TOOLS_LYTAG_FILE_CHECK_H
