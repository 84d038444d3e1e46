// What the parser tests do alike to the files they save: take a real file
// from tests/data, tell whether a save wrote anything, and read what
// python3-mutagen prints about them.
#ifndef LYPARSER_TESTS_PARSERS_PARSER_TEST_FILES_H
#define LYPARSER_TESTS_PARSERS_PARSER_TEST_FILES_H

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

// The file `name` of tests/data.
inline Bytes DataFile(const std::string& name) {
    return ReadBytes(std::string(LY_TEST_DATA) + "/" + name);
}

// The file's inode, modification and change times and a hash of its bytes:
// what a save that writes nothing keeps.
inline std::string FileState(const std::string& path) {
    struct stat info = {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    const Bytes bytes = ReadBytes(path);
    return std::to_string(info.st_ino) + " " + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec) + " " + std::to_string(info.st_ctim.tv_sec) + "." +
           std::to_string(info.st_ctim.tv_nsec) + " " +
           std::to_string(std::hash<std::string>()(std::string(bytes.begin(), bytes.end())));
}

// Runs a python3-mutagen `script` that prints one JSON value a line, one line
// for each of `paths`.
inline std::vector<nlohmann::json> MutagenJson(const char* script,
                                               const std::vector<std::string>& paths) {
    const CommandResult dump = RunPython(script, paths);
    EXPECT_EQ(dump.status, 0) << dump.err;
    std::vector<nlohmann::json> values;
    std::istringstream lines(dump.out);
    for (std::string line; std::getline(lines, line);)
        values.push_back(nlohmann::json::parse(line));
    values.resize(paths.size());
    return values;
}

#endif  // LYPARSER_TESTS_PARSERS_PARSER_TEST_FILES_H
