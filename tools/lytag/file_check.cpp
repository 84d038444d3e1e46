#include "tools/lytag/file_check.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

const char kNotAudio[] = "not an audio file lyParser reads";

namespace {

std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

std::string OpenRefusal(const std::string& path) {
    std::string problem = ReadProblem(path);
    return problem.empty() ? kNotAudio : problem;
}

std::string WriteProblem(const std::string& path) {
    std::string problem = ReadProblem(path);
    if (!problem.empty()) return problem;
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return std::strerror(errno);
    // A complete safety copy means an earlier save stopped half way: the
    // module writes nothing until the user has put it back or deleted it.
    std::string copy = Folder(path) + "/." + BaseName(path) + ".lyparser-saved";
    if (access(copy.c_str(), F_OK) == 0) {
        return "an interrupted save left its copy in " + copy + " (see lytag(1), SAVING)";
    }
    return std::string();
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
