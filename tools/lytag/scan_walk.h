// Finding the files lytag scan opens: every regular, readable file below a
// folder, in name order. Anything else is listed with the reason it was
// skipped; nothing is ever opened or waited on while walking.
#ifndef LYPARSER_TOOLS_LYTAG_SCAN_WALK_H
#define LYPARSER_TOOLS_LYTAG_SCAN_WALK_H

#include <string>
#include <vector>

struct SkippedFile {
    std::string path;
    std::string reason;
};

// Appends the files below `folder` to *files and the skipped entries to
// *skipped; false when `folder` is not a readable folder.
bool CollectFiles(const std::string& folder, std::vector<std::string>* files,
                  std::vector<SkippedFile>* skipped);

#endif  // LYPARSER_TOOLS_LYTAG_SCAN_WALK_H
