// lytag: shows what the tag-parsing module makes of audio files, changes
// their fields, and computes digests, through the module's exports only.
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include "lyParser.h"
#include "tools/lytag/lytag.h"

namespace {

const char kUsage[] =
    "Usage: lytag COMMAND [OPTIONS] [FILE...]\n"
    "       lytag --version\n"
    "\n"
    "Reads and changes the tags of audio files through the lyParser module.\n"
    "\n"
    "Commands:\n"
    "  show FILE...      fields, descriptions, technical texts, audio range and digest\n"
    "  set FILE...       change the fields named, keep everything else, and save\n"
    "  picture FILE -o OUT  write the attached picture to OUT\n"
    "  md5 FILE          digest of a byte range\n"
    "  demo              make sample files and show what the module finds in them\n"
    "  cd                look up a CD (a drive or an image) on a CDDB server\n"
    "  scan FOLDER...    open every file below the folders, on several threads\n"
    "  repair FILE...    put back what an interrupted save left, or give it up\n"
    "\n"
    "Run 'lytag COMMAND --help' for a command's options; \"--\" ends the options.\n"
    "\n"
    "Exit status: 0 success; 1 a file was refused or could not be saved; 2 bad usage;\n"
    "130 interrupted (scan). See lytag(1) for each command.\n";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
};

const Command kCommands[] = {
    {"show", ShowCommand}, {"set", SetCommand},       {"picture", PictureCommand},
    {"md5", Md5Command},   {"demo", DemoCommand},     {"cd", CdCommand},
    {"scan", ScanCommand}, {"repair", RepairCommand},
};

// Standard output through a buffer of lytag's own, which keeps the first
// write error: output that could not be written (a full disk, a closed pipe)
// fails the command, so a script never takes a cut listing for a whole one.
class StandardOutput : public std::streambuf {
public:
    int error() const { return error_; }

protected:
    int overflow(int c) override {
        if (sync() != 0) return traits_type::eof();
        if (c != traits_type::eof()) buffer_[used_++] = static_cast<char>(c);
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        for (std::streamsize i = 0; i < count; ++i) {
            if (used_ == sizeof buffer_ && sync() != 0) return i;
            buffer_[used_++] = data[i];
        }
        return count;
    }
    int sync() override {
        for (size_t done = 0; done < used_;) {
            ssize_t n = write(1, buffer_ + done, used_ - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (!error_) error_ = n < 0 ? errno : EIO;
                used_ = 0;
                return -1;
            }
            done += static_cast<size_t>(n);
        }
        used_ = 0;
        return error_ ? -1 : 0;
    }

private:
    char buffer_[65536];
    size_t used_ = 0;
    int error_ = 0;
};

int CheckStandardOutput(StandardOutput* out, int status) {
    std::cout.flush();
    if (!out->error()) return status;
    std::cerr << "lytag: standard output: " << std::strerror(out->error()) << '\n';
    return status == kExitOk ? kExitFileFailed : status;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    StandardOutput& out = *new StandardOutput;  // never destroyed: std::cout flushes at exit
    std::cout.rdbuf(&out);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    if (args[0] == "-h" || args[0] == "--help") {
        std::cout << kUsage;
        return CheckStandardOutput(&out, kExitOk);
    }
    if (args[0] == "-V" || args[0] == "--version") {
        std::cout << "lytag " << LYPARSER_VERSION_STRING << '\n';
        return CheckStandardOutput(&out, kExitOk);
    }
    for (const auto& command : kCommands) {
        if (args[0] == command.name) {
            StartModule();
            int status = command.run(std::vector<std::string>(args.begin() + 1, args.end()));
            TagParserFinalize();
            return CheckStandardOutput(&out, status);
        }
    }
    return UsageError("unknown command '" + args[0] + "'");
}
