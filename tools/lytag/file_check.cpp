#include "tools/lytag/file_check.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "core/pending_copy.h"

const char kNotAudio[] = "not an audio file lyParser reads";

namespace {

std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string ReadProblem(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
    if (!S_ISREG(info.st_mode)) return "not a regular file";
    if (faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) return std::strerror(errno);
    return std::string();
}

std::string PendingProblem(const std::string& path) {
    // The module writes nothing into a file an interrupted save left half
    // written, until the copy is put back.
    const std::string copy = PendingCopyOf(path);
    if (copy.empty()) return std::string();
    return "an interrupted save left it half written and its new content in " + copy +
           "; run 'lytag repair " + path + "'";
}

std::string OpenRefusal(const std::string& path) {
    std::string problem = ReadProblem(path);
    return problem.empty() ? kNotAudio : problem;
}

std::string WriteProblem(const std::string& path) {
    std::string problem = ReadProblem(path);
    if (!problem.empty()) return problem;
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return std::strerror(errno);
    return PendingProblem(path);
}

std::string SaveProblem(const std::string& path) {
    std::string problem = WriteProblem(path);
    if (!problem.empty()) return problem;
    struct stat info;
    struct statvfs space;
    if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (statvfs(Folder(path).c_str(), &space) == 0 &&
        static_cast<unsigned long long>(space.f_bavail) * space.f_frsize <
            static_cast<unsigned long long>(info.st_size)) {
        return std::strerror(ENOSPC);
    }
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(info.st_size) >= limit.rlim_cur) {
        return std::strerror(EFBIG);
    }
    return std::string();
}

void ReportFile(const std::string& file, const std::string& reason) {
    std::cerr << "lytag: " << file << ": " << reason << '\n';
}
