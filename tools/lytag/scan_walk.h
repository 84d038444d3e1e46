// Finding the files lytag scan opens: every regular, readable file below a
// folder. Anything else is listed with the reason it was skipped, and an
// entry that could not be read (a folder that cannot be listed, a file this
// user may not read) is marked as an error; nothing is ever opened or waited
// on while walking. Linked folders are not followed, so a link back up
// cannot loop the walk.
#ifndef LYPARSER_TOOLS_LYTAG_SCAN_WALK_H
#define LYPARSER_TOOLS_LYTAG_SCAN_WALK_H

#include <string>
#include <vector>

struct SkippedFile {
    std::string path;
    std::string reason;
    bool error = false;  // it could not be read (not merely: it is no file to open)
};

// Appends the files below `folder` to *files and the skipped entries (the
// folder itself, when it cannot be read) to *skipped.
void CollectFiles(const std::string& folder, std::vector<std::string>* files,
                  std::vector<SkippedFile>* skipped);

#endif  // LYPARSER_TOOLS_LYTAG_SCAN_WALK_H
