// A CD image made from code: a .cue sheet and a silent .bin of audio tracks
// of chosen lengths, readable by libcdio like a disc in a drive.
#ifndef LYPARSER_TOOLS_SAMPLES_CD_IMAGE_H
#define LYPARSER_TOOLS_SAMPLES_CD_IMAGE_H

#include <string>
#include <vector>

// Writes <folder>/<name>.bin and <folder>/<name>.cue with one audio track per
// entry of `trackFrames` (75 frames a second), the first at the disc's start.
// Returns the .cue path, or "" when a file could not be written.
std::string MakeCdImage(const std::string& folder, const std::string& name,
                        const std::vector<int>& trackFrames);

#endif  // LYPARSER_TOOLS_SAMPLES_CD_IMAGE_H
