// The options of one lytag command, parsed from a table that also makes the
// command's --help text, so that what --help lists is exactly what the
// command accepts. Options and operands may be mixed, "--" ends the options,
// -h and --help are added to every command. A long option is matched whole:
// no abbreviation is taken for it (a prefix that happened to be unique
// would change its meaning the day another option shares it), and an
// unknown option is bad usage before anything is done. Values follow as
// "--name VALUE", "--name=VALUE", "-x VALUE" or "-xVALUE"; short options
// without values may be grouped ("-nq"). Thread-safe.
#ifndef LYPARSER_TOOLS_LYTAG_COMMAND_LINE_H
#define LYPARSER_TOOLS_LYTAG_COMMAND_LINE_H

#include <string>
#include <vector>

struct OptionInfo {
    const char* name;      // long name, without the dashes
    char shortName;        // 0 when there is none
    const char* argument;  // what --help shows after the name; null: takes no value
    const char* help;      // one or more lines, '\n' between them
    // For an option whose value may be left out ("--remove-picture [TYPE]"):
    // whether the next word is its value. Null: a value, when `argument` is
    // set, is required.
    bool (*takesWord)(const std::string& word) = nullptr;
};

struct CommandInfo {
    std::string synopsis;  // "lytag set [OPTIONS] FILE..."
    std::string about;     // the paragraph under it
    std::vector<OptionInfo> options;
    std::string footer;  // printed after the options; may be empty
};

struct CommandLine {
    struct Option {
        std::string name;   // long name
        std::string value;  // empty for options without a value
    };
    std::vector<Option> options;  // in the order given
    std::vector<std::string> operands;

    bool Has(const std::string& name) const;
    // The value of the last `name` given, or `fallback`.
    std::string Value(const std::string& name, const std::string& fallback = "") const;
};

// The --help text of `info`.
std::string HelpText(const CommandInfo& info);

// Parses the arguments after the command name into *line. Returns -1 when the
// command should run; otherwise the exit status to leave with, after printing
// the help (0) or a usage error naming `command` (2).
int ParseCommandLine(const char* command, const CommandInfo& info,
                     const std::vector<std::string>& args, CommandLine* line);

// Parses a whole decimal number into *value; false when it is not one.
bool ParseWholeNumber(const std::string& text, long long min, long long max, long long* value);

#endif  // LYPARSER_TOOLS_LYTAG_COMMAND_LINE_H
