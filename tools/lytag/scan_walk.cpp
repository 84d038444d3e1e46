#include "tools/lytag/scan_walk.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Why the entry is not a file to open ("" when it is one), and whether that
// is because it could not be read.
std::string SkipReason(const fs::directory_entry& entry, bool* error) {
    std::error_code problem;
    fs::file_status status = entry.status(problem);  // follows links
    if (problem) {
        if (problem.value() == ELOOP) return "symbolic link loop";
        if (entry.is_symlink(problem)) return "broken symbolic link";
        *error = true;
        return problem.message();
    }
    if (!fs::is_regular_file(status)) return "not a regular file";
    if (access(entry.path().c_str(), R_OK) != 0) {
        *error = true;
        return std::strerror(errno);
    }
    return std::string();
}

void Walk(const fs::path& folder, std::vector<std::string>* files,
          std::vector<SkippedFile>* skipped) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code kind;
        if (it->is_directory(kind)) {
            if (!it->is_symlink(kind)) Walk(it->path(), files, skipped);
            continue;  // a linked folder is not followed
        }
        bool unreadable = false;
        std::string reason = SkipReason(*it, &unreadable);
        if (reason.empty()) {
            files->push_back(it->path().string());
        } else {
            skipped->push_back({it->path().string(), reason, unreadable});
        }
    }
    if (error) skipped->push_back({folder.string(), error.message(), true});
}

}  // namespace

void CollectFiles(const std::string& folder, std::vector<std::string>* files,
                  std::vector<SkippedFile>* skipped) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        skipped->push_back({folder, error ? error.message() : std::string("not a folder"), true});
        return;
    }
    Walk(folder, files, skipped);
}
