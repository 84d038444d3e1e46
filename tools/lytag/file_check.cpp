#include "tools/lytag/file_check.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

#include "core/pending_copy.h"
#include "lyParser.h"
#include "tools/lytag/command_line.h"

const char kNotAudio[] = "not an audio file lyParser reads";

namespace {

std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The bytes of an APE tag that ends `before` bytes from the end of `file`, or 0.
long long ApeTagBytes(const std::string& file, long long before) {
    std::ifstream in(file, std::ios::binary);
    unsigned char footer[32] = {};
    in.seekg(-(before + 32), std::ios::end);
    if (!in.read(reinterpret_cast<char*>(footer), sizeof footer)) return 0;
    if (std::string(reinterpret_cast<char*>(footer), 8) != "APETAGEX") return 0;
    auto word = [&](int at) {
        return static_cast<unsigned long>(footer[at]) | footer[at + 1] << 8 | footer[at + 2] << 16 |
               static_cast<unsigned long>(footer[at + 3]) << 24;
    };
    return static_cast<long long>(word(12)) + ((word(20) & 0x80000000u) ? 32 : 0);
}

}  // namespace

std::string NoAudioProblem(IBaseTag* handle, const std::string& file) {
    if (TagParserGetFileType(handle) != FILE_TYPE_MP3) return std::string();
    if (TagParserGetFileInfo(handle, INFO_MP3_SAMPLE_RATE) != "0") return std::string();
    long long size = 0, id3v2 = 0;
    ParseWholeNumber(TagParserGetFileInfo(handle, INFO_MP3_FILE_SIZE), 0, INT64_MAX, &size);
    ParseWholeNumber(TagParserGetFileInfo(handle, INFO_MP3_ID3V2_SIZE), 0, INT64_MAX, &id3v2);
    const long long id3v1 = TagParserGetData(handle, FIELD_HAS_ID3V1) == "Y" ? 128 : 0;
    if (size <= id3v2 + id3v1 + ApeTagBytes(file, id3v1)) return std::string();
    return std::string(kNotAudio) + ": no MPEG audio frame in it";
}

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
