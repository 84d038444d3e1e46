#include "tools/lytag/command_line.h"

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

namespace {

// Takes the option `word` names (with the words after it, when its value is
// there) into *line. Returns -1 when taken, else the exit status.
int TakeLong(const char* command, const std::vector<OptionInfo>& all,
             const std::vector<std::string>& args, size_t* at, CommandLine* line) {
    const std::string& word = args[*at];
    const size_t equals = word.find('=');
    const std::string name =
        word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    for (const auto& option : all) {
        if (name != option.name) continue;
        if (!option.argument) {
            if (equals != std::string::npos)
                return UsageError(std::string(command) + ": option '--" + name +
                                  "' takes no value");
            line->options.push_back({option.name, ""});
        } else if (equals != std::string::npos) {
            line->options.push_back({option.name, word.substr(equals + 1)});
        } else if (option.takesWord) {
            const bool next = *at + 1 < args.size() && option.takesWord(args[*at + 1]);
            line->options.push_back({option.name, next ? args[++*at] : ""});
        } else if (*at + 1 < args.size()) {
            line->options.push_back({option.name, args[++*at]});
        } else {
            return UsageError(std::string(command) + ": option '--" + name + "' needs a value");
        }
        return -1;
    }
    return UsageError(std::string(command) + ": unknown option '" + word.substr(0, equals) + "'");
}

// The same for a word of short options ("-q", "-nq", "-oOUT", "-o OUT").
int TakeShort(const char* command, const std::vector<OptionInfo>& all,
              const std::vector<std::string>& args, size_t* at, CommandLine* line) {
    const std::string word = args[*at];
    for (size_t i = 1; i < word.size(); ++i) {
        const OptionInfo* found = nullptr;
        for (const auto& option : all) {
            if (option.shortName && option.shortName == word[i]) found = &option;
        }
        if (!found) return UsageError(std::string(command) + ": unknown option '-" + word[i] + "'");
        if (!found->argument) {
            line->options.push_back({found->name, ""});
            continue;
        }
        if (i + 1 < word.size()) {
            line->options.push_back({found->name, word.substr(i + 1)});
        } else if (*at + 1 < args.size()) {
            line->options.push_back({found->name, args[++*at]});
        } else {
            return UsageError(std::string(command) + ": option '-" + word[i] + "' needs a value");
        }
        break;
    }
    return -1;
}

}  // namespace

int ParseCommandLine(const char* command, const CommandInfo& info,
                     const std::vector<std::string>& args, CommandLine* line) {
    std::vector<OptionInfo> all = info.options;
    all.push_back(kHelpOption);
    bool optionsEnded = false;
    for (size_t at = 0; at < args.size(); ++at) {
        const std::string& word = args[at];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            line->operands.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t before = line->options.size();
        const int status = word[1] == '-' ? TakeLong(command, all, args, &at, line)
                                          : TakeShort(command, all, args, &at, line);
        if (status >= 0) return status;
        for (size_t i = before; i < line->options.size(); ++i) {
            if (line->options[i].name == kHelpOption.name) {
                std::cout << HelpText(info);
                return kExitOk;
            }
        }
    }
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
