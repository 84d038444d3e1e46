// lytag: shows what the tag-parsing module makes of audio files, changes
// their fields, and computes digests, through the module's exports only.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "lyParser.h"
#include "tools/lytag/lytag.h"

namespace {

const char kUsage[] =
    "Usage: lytag COMMAND [OPTIONS] [FILE...]\n"
    "\n"
    "Reads and changes the tags of audio files through the lyParser module.\n"
    "\n"
    "Commands:\n"
    "  show FILE...      fields, descriptions, technical texts, audio range and digest\n"
    "  set FILE...       change fields and save\n"
    "  picture FILE -o OUT  write the attached picture to OUT\n"
    "  md5 FILE          digest of a byte range\n"
    "  demo              make sample files and show what the module finds in them\n"
    "  cd                look up a CD (a drive or an image) on a CDDB server\n"
    "  scan FOLDER...    open every file below the folders, on several threads\n"
    "\n"
    "Run 'lytag COMMAND --help' for a command's options.\n"
    "\n"
    "Exit status: 0 success; 1 a file was refused or could not be saved; 2 bad usage;\n"
    "130 interrupted (scan). See lytag(1) for each command.\n";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
};

const Command kCommands[] = {
    {"show", ShowCommand}, {"set", SetCommand},   {"picture", PictureCommand},
    {"md5", Md5Command},   {"demo", DemoCommand},     {"cd", CdCommand},
    {"scan", ScanCommand},
};

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    if (args[0] == "-h" || args[0] == "--help") {
        std::cout << kUsage;
        return kExitOk;
    }
    for (const auto& command : kCommands) {
        if (args[0] == command.name) {
            StartModule();
            int status = command.run(std::vector<std::string>(args.begin() + 1, args.end()));
            TagParserFinalize();
            return status;
        }
    }
    return UsageError("unknown command '" + args[0] + "'");
}
