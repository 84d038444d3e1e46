// lytag picture: writes a file's attached picture to a file named for what
// the picture's bytes are.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "lyParser.h"
#include "tools/lytag/command_line.h"
#include "tools/lytag/file_check.h"
#include "tools/lytag/lytag.h"
#include "tools/lytag/picture_file.h"
#include "tools/lytag/tag_items.h"

namespace {

const CommandInfo kPictureCommand = {
    "lytag picture [OPTIONS] FILE -o OUT",
    "Writes FILE's attached picture (the front cover, else the first; with --type,\n"
    "the picture of that type) to OUT, with the extension its content calls for:\n"
    ".jpg, .png or .gif (an image extension OUT has is replaced, any other name gets\n"
    "one added; a picture that is none of these gets .bin). Other programs may label\n"
    "a picture wrongly, so only the bytes say what it is. Prints the name written.",
    {
        {"output", 'o', "OUT", "the file to write (required)"},
        {"type", 't', "TYPE",
         "the picture of TYPE: front, back, artist, ... (see\n"
         "lytag set --help), or its number 0-20"},
        {"quiet", 'q', nullptr, "print nothing on stdout"},
    },
    "Exit status: 0 written; 1 the file was refused, has no picture, or OUT could\n"
    "not be written; 2 bad usage.\n"};

// Writes `data` to `path`; "" or the reason it failed.
std::string WriteWhole(const std::string& path, const std::vector<unsigned char>& data) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return std::strerror(errno);
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int error = errno;
            close(fd);
            return std::strerror(n < 0 ? error : EIO);
        }
        done += static_cast<size_t>(n);
    }
    return close(fd) == 0 ? std::string() : std::strerror(errno);
}

}  // namespace

int PictureCommand(const std::vector<std::string>& args) {
    CommandLine line;
    if (int status = ParseCommandLine("picture", kPictureCommand, args, &line); status >= 0)
        return status;
    const std::string out = line.Value("output");
    if (line.operands.size() != 1 || out.empty())
        return UsageError("picture: needs one FILE and -o OUT");
    const std::string& file = line.operands[0];
    const int type = line.Has("type") ? ParsePictureType(line.Value("type")) : -1;
    if (line.Has("type") && type < 0)
        return UsageError("picture: unknown picture type '" + line.Value("type") + "'");
    IBaseTag* handle = TagParserOpenFile(file.c_str());
    if (!handle) {
        ReportFile(file, OpenRefusal(file));
        return kExitFileFailed;
    }
    if (type >= 0 && !TraitsOf(TagParserGetFileType(handle)).pictures) {
        TagParserCloseFile(handle);
        ReportFile(file, "has no attached picture");
        return kExitFileFailed;
    }
    if (type >= 0)
        TagParserSetExData(handle, LYPARSER_KEY_SHOWN_PICTURE, std::to_string(type).c_str());
    long long bytes = 0;
    ParseWholeNumber(TagParserGetData(handle, FIELD_PICTURE_INFO), 1, 1LL << 31, &bytes);
    std::vector<unsigned char> data(static_cast<size_t>(bytes));
    if (!data.empty()) TagParserGetAttachedPictureData(handle, data.data());
    TagParserCloseFile(handle);
    if (data.empty()) {
        ReportFile(file, type >= 0 ? std::string("has no picture of type ") + PictureTypeName(type)
                                   : "has no attached picture");
        return kExitFileFailed;
    }
    const ImageKind* kind = ImageKindOf(data.data(), data.size());
    const std::string name = NameForPicture(out, kind);
    std::string problem = WriteWhole(name, data);
    if (!problem.empty()) {
        ReportFile(name, problem);
        return kExitFileFailed;
    }
    if (!line.Has("quiet")) {
        std::cout << name << ": " << data.size() << " bytes, "
                  << (kind ? kind->name : "not a JPEG, PNG or GIF image") << '\n';
    }
    return kExitOk;
}
