// lytag repair: puts back the copy an interrupted in-place save left for a
// file, or gives it up, after checking that the copy is that file's and whole.
// The check and the write-back are the module's own (core/pending_copy).
#include <iostream>

#include "core/pending_copy.h"
#include "tools/lytag/command_line.h"
#include "tools/lytag/file_check.h"
#include "tools/lytag/lytag.h"

namespace {

const CommandInfo kRepairCommand = {
    "lytag repair [--discard] FILE...",
    "An in-place save cut short (a crash, a full disk) can leave FILE half written\n"
    "and the whole new content in a copy; no save touches FILE until then. repair\n"
    "writes the copy back into FILE and removes it, after checking that it is FILE's\n"
    "copy and complete. It is always safe to run: a file with nothing waiting is\n"
    "left as it is.",
    {
        {"discard", 0, nullptr,
         "remove the copy instead and keep FILE as it is (which\n"
         "may be half written)"},
    },
    "Exit status: 0 repaired, or nothing to repair; 1 a file could not be repaired;\n"
    "2 bad usage.\n"};

}  // namespace

int RepairCommand(const std::vector<std::string>& args) {
    CommandLine line;
    if (int status = ParseCommandLine("repair", kRepairCommand, args, &line); status >= 0)
        return status;
    if (line.operands.empty()) return UsageError("repair: no file given");
    int status = kExitOk;
    for (const auto& file : line.operands) {
        std::string message;
        if (RepairPendingCopy(file, line.Has("discard"), &message) == 0) {
            std::cout << file << ": " << message << '\n';
        } else {
            ReportFile(file, message);
            status = kExitFileFailed;
        }
    }
    return status;
}
