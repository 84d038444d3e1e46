// What the parser tests do alike to the files they save: take a real file
// from tests/data, make a row's calls on it, ask where its audio lies, tell
// whether a save wrote anything, and read what python3-mutagen prints about it.
#ifndef LYPARSER_TESTS_PARSERS_PARSER_TEST_FILES_H
#define LYPARSER_TESTS_PARSERS_PARSER_TEST_FILES_H

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "lyParser.h"
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

// Start, end and result of GetSourceLength; -7 where it wrote nothing.
using Range = std::tuple<int, int, int>;
inline Range RangeOf(IBaseTag* handle) {
    int start = -7, end = -7;
    const int result = TagParserGetSourceLength(handle, &start, &end);
    return {start, end, result};
}

// Makes `calls` on `handle`: "?KEY=TEXT" reads TEXT, "KEY=VALUE" sets and
// answers 1, "!KEY=VALUE" sets and answers 0. KEY, what comes before the
// last "=", is "#N" for field N and any other text for the ExData key. With
// `narrow`, fields are set as narrow text, whose answer is always 0.
inline void MakeCalls(IBaseTag* handle, const std::vector<std::string>& calls,
                      bool narrow = false) {
    for (std::string call : calls) {
        const char kind = call[0] == '?' || call[0] == '!' ? call[0] : '=';
        if (kind != '=') call.erase(0, 1);
        const size_t equals = call.rfind('=');
        const std::string key = call.substr(0, equals), value = call.substr(equals + 1);
        const int id = key[0] == '#' ? std::stoi(key.substr(1)) : -1;
        if (kind == '?') {
            EXPECT_EQ(
                id >= 0 ? TagParserGetData(handle, id) : TagParserGetExData(handle, key.c_str()),
                value);
        } else if (id >= 0 && narrow) {
            TagParserSetData(handle, id, value.c_str());
        } else {
            EXPECT_EQ(id >= 0 ? TagParserSetDataW(handle, id,
                                                  std::wstring(value.begin(), value.end()).c_str())
                              : TagParserSetExData(handle, key.c_str(), value.c_str()),
                      kind == '=')
                << call;
        }
    }
}

#endif  // LYPARSER_TESTS_PARSERS_PARSER_TEST_FILES_H
