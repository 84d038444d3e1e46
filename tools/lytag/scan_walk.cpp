#include "tools/lytag/scan_walk.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Why the entry at `path` is not a file to open, or "" when it is one.
std::string SkipReason(const fs::directory_entry& entry) {
    std::error_code error;
    fs::file_status status = entry.status(error);  // follows links
    if (error) {
        if (error.value() == ELOOP) return "symbolic link loop";
        if (entry.is_symlink()) return "broken symbolic link";
        return "cannot be examined: " + error.message();
    }
    if (fs::is_directory(status)) return std::string();  // walked, not opened
    if (!fs::is_regular_file(status)) return "not a regular file";
    if (access(entry.path().c_str(), R_OK) != 0) return "not readable";
    return std::string();
}

}  // namespace

bool CollectFiles(const std::string& folder, std::vector<std::string>* files,
                  std::vector<SkippedFile>* skipped) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) return false;
    std::vector<std::string> found;
    // Linked folders are not followed, so a link back up cannot loop the walk.
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                        error);
    if (error) return false;
    for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) {
            skipped->push_back({it->path().string(), "cannot be listed: " + error.message()});
            error.clear();
            continue;
        }
        std::string reason = SkipReason(*it);
        if (!reason.empty()) {
            skipped->push_back({it->path().string(), reason});
        } else if (!it->is_directory(error)) {
            found.push_back(it->path().string());
        }
    }
    std::sort(found.begin(), found.end());
    files->insert(files->end(), found.begin(), found.end());
    return true;
}
