#include "tools/lytag/command_line.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>

#include "tools/lytag/lytag.h"

namespace {

const OptionInfo kHelpOption = {"help", 'h', nullptr, "show this help and exit"};
constexpr size_t kHelpColumn = 26;

std::string OptionLabel(const OptionInfo& option) {
    std::string label = option.shortName ? std::string("-") + option.shortName + ", " : "    ";
    label += std::string("--") + option.name;
    if (option.argument) label += std::string(" ") + option.argument;
    return label;
}

void AppendOption(const OptionInfo& option, std::string* text) {
    std::string label = "  " + OptionLabel(option);
    std::string help = option.help;
    std::string indent(kHelpColumn, ' ');
    if (label.size() + 2 > kHelpColumn) {
        *text += label + "\n" + indent;
    } else {
        *text += label + std::string(kHelpColumn - label.size(), ' ');
    }
    for (size_t at = 0, newline; at <= help.size(); at = newline + 1) {
        newline = help.find('\n', at);
        if (newline == std::string::npos) newline = help.size();
        if (at > 0) *text += indent;
        *text += help.substr(at, newline - at) + "\n";
    }
}

const OptionInfo* FindShort(const std::vector<OptionInfo>& options, int c) {
    for (const auto& option : options) {
        if (option.shortName && option.shortName == c) return &option;
    }
    return nullptr;
}

}  // namespace

bool CommandLine::Has(const std::string& name) const {
    for (const auto& option : options) {
        if (option.name == name) return true;
    }
    return false;
}

std::string CommandLine::Value(const std::string& name, const std::string& fallback) const {
    std::string value = fallback;
    for (const auto& option : options) {
        if (option.name == name) value = option.value;
    }
    return value;
}

std::string HelpText(const CommandInfo& info) {
    std::string text = "Usage: " + info.synopsis + "\n\n" + info.about + "\n\nOptions:\n";
    for (const auto& option : info.options) AppendOption(option, &text);
    AppendOption(kHelpOption, &text);
    if (!info.footer.empty()) text += "\n" + info.footer;
    return text;
}

int ParseCommandLine(const char* command, const CommandInfo& info,
                     const std::vector<std::string>& args, CommandLine* line) {
    std::vector<std::string> words = {std::string("lytag ") + command};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);

    std::vector<OptionInfo> all = info.options;
    all.push_back(kHelpOption);
    std::string shorts = ":";
    std::vector<option> longs;
    for (const auto& each : all) {
        const int hasArg = each.argument ? required_argument : no_argument;
        if (each.shortName) shorts += std::string(1, each.shortName) + (hasArg ? ":" : "");
        longs.push_back({each.name, hasArg, nullptr, 0});
    }
    longs.push_back({nullptr, 0, nullptr, 0});

    optind = 0;  // a full restart of getopt's scan
    opterr = 0;
    const int argc = static_cast<int>(words.size());
    for (;;) {
        int index = -1;
        const int c = getopt_long(argc, argv.data(), shorts.c_str(), longs.data(), &index);
        if (c == -1) break;
        const std::string given = optopt > 0 && optopt < 256 && (c == '?' || c == ':')
                                      ? std::string("-") + static_cast<char>(optopt)
                                      : std::string(argv[optind - 1]);
        if (c == '?') return UsageError(std::string(command) + ": unknown option '" + given + "'");
        if (c == ':')
            return UsageError(std::string(command) + ": option '" + given + "' needs a value");
        const OptionInfo* found = index >= 0 ? &all[static_cast<size_t>(index)] : FindShort(all, c);
        if (!found) return UsageError(std::string(command) + ": unknown option");
        if (found == &all.back()) {
            std::cout << HelpText(info);
            return kExitOk;
        }
        line->options.push_back({found->name, optarg && found->argument ? optarg : ""});
    }
    for (int i = optind; i < argc; ++i) line->operands.push_back(argv[static_cast<size_t>(i)]);
    return -1;
}

bool ParseWholeNumber(const std::string& text, long long min, long long max, long long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < min || parsed > max) return false;
    *value = parsed;
    return true;
}
