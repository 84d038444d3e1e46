// How a CD-track path names its drive and track: the first character is the
// drive letter, all digits together are the track number. Thread-safe.
#ifndef LYPARSER_PARSERS_CD_CD_PATH_H
#define LYPARSER_PARSERS_CD_CD_PATH_H

#include <string>

// What DriveIndexFromPath answers for a letter no drive carries: the engine
// is then asked nothing about the drive (no disc, not ready, no length).
constexpr int kNoCdDrive = -1;

// The engine's CD-drive number (0 to 29) whose letter is the path's first
// character: 0 for an empty path or a first character that is no letter,
// kNoCdDrive when no drive from 0 to 29 carries the letter (or no engine is
// stored).
int DriveIndexFromPath(const std::wstring& path);
int DriveIndexFromPath(const std::string& path);

// Every digit of the path, in order, read as one decimal number (0 without
// digits; INT_MAX when the number does not fit).
int TrackNumberFromPath(const std::wstring& path);
int TrackNumberFromPath(const std::string& path);

// The disc identity in an engine query text: its first 9 characters without
// trailing white space.
std::string DiscIdFromQueryText(const std::string& text);

#endif  // LYPARSER_PARSERS_CD_CD_PATH_H
