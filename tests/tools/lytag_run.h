// lytag as the tools' tests run it, and what it prints, split into lines.
#ifndef LYPARSER_TESTS_TOOLS_LYTAG_RUN_H
#define LYPARSER_TESTS_TOOLS_LYTAG_RUN_H

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.h"

// lytag with `args`; inside `folder` and a UTF-8 locale when one is given, so
// that narrow text means the same to every format; as an ordinary user when
// `asNobody`.
inline CommandResult Lytag(std::vector<std::string> args, const std::string& folder = "",
                           bool asNobody = false) {
    args.insert(args.begin(), LY_LYTAG_PATH);
    if (!folder.empty())
        args.insert(args.begin(), {"/usr/bin/env", "-C", folder, "LC_ALL=C.UTF-8"});
    if (asNobody) args.insert(args.begin(), kAsNobody.begin(), kAsNobody.end());
    return RunCommand(args);
}

inline std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Each line of `text` (JSON Lines) as an object, in order.
inline std::vector<nlohmann::json> JsonLines(const std::string& text) {
    std::vector<nlohmann::json> objects;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) objects.push_back(nlohmann::json::parse(line));
    return objects;
}

#endif  // LYPARSER_TESTS_TOOLS_LYTAG_RUN_H
