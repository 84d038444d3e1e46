// lytag set and lytag picture.
#include <fstream>
#include <iostream>
#include <iterator>

#include "lyParser.h"
#include "tools/lytag/lytag.h"

namespace {

const char kSetUsage[] =
    "Usage: lytag set FILE... [OPTIONS]\n"
    "\n"
    "Changes fields and saves each file; reports per file whether it was saved.\n"
    "  --field NAME=VALUE      a field by name (title, artist, album, year, genre,\n"
    "                          comment, track, title2 ... track2, composer, bpm, disc,\n"
    "                          original-artist, copyright, url, encoded-by, lyrics,\n"
    "                          rating); an empty VALUE removes the field\n"
    "  --comment NAME=VALUE    any Vorbis comment by name (Ogg)\n"
    "  --attribute NAME=VALUE  any string attribute by name (WMA/ASF)\n"
    "  --id3v1 Y|N, --id3v2 Y|N  keep or remove the tag (MP3)\n"
    "  --picture IMAGE         attach IMAGE as the cover picture (MP3)\n"
    "  --lyrics TEXTFILE       set the lyrics from a UTF-8 text file (MP3, Ogg)\n";

const char kPictureUsage[] =
    "Usage: lytag picture FILE -o OUT\n"
    "\n"
    "Writes the file's attached picture to OUT.\n";

// One change to make: a field by id, or a named comment or attribute.
struct Change {
    int id = -1;          // field id, or -1 for a named entry
    std::string name;     // named entry
    std::wstring value;   // field value
    std::string rawValue; // named entry value (locale text)
    std::string label;    // what to report when it is refused
};

bool SplitAssignment(const std::string& text, std::string* name, std::string* value) {
    size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    *name = text.substr(0, equals);
    *value = text.substr(equals + 1);
    return true;
}

bool ReadTextFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Parses one option at args[*i] into `change`; an empty text on success,
// otherwise the usage error.
std::string ParseChange(const std::vector<std::string>& args, size_t* i, Change* change) {
    const std::string& option = args[*i];
    if (*i + 1 >= args.size()) return option + " needs a value";
    const std::string& text = args[++*i];
    std::string name, value;
    if (option == "--field") {
        if (!SplitAssignment(text, &name, &value)) return "--field needs NAME=VALUE";
        change->id = FieldIdFromName(name);
        if (change->id < 0) return "unknown field '" + name + "'";
        change->value = FromLocale(value);
    } else if (option == "--comment" || option == "--attribute") {
        if (!SplitAssignment(text, &name, &value)) return option + " needs NAME=VALUE";
        change->name = name;
        change->rawValue = value;
    } else if (option == "--id3v1" || option == "--id3v2") {
        if (text != "Y" && text != "N") return option + " takes Y or N";
        change->id = option == "--id3v1" ? FIELD_HAS_ID3V1 : FIELD_HAS_ID3V2;
        change->value = FromLocale(text);
    } else if (option == "--picture") {
        change->id = FIELD_PICTURE;
        change->value = FromLocale(text);
    } else if (option == "--lyrics") {
        std::string lyrics;
        if (!ReadTextFile(text, &lyrics)) return "cannot read lyrics file '" + text + "'";
        change->id = FIELD_LYRICS;
        change->value = FromUtf8(lyrics);
    } else {
        return "set: unknown option '" + option + "'";
    }
    change->label = option + " " + text;
    return std::string();
}

// Applies every change to one file and saves it; false when anything failed.
bool SetOne(const std::string& file, const std::vector<Change>& changes) {
    IBaseTag* handle = TagParserOpenFile(file.c_str());
    if (!handle) {
        ReportRefused(file);
        return false;
    }
    bool ok = true;
    for (const auto& change : changes) {
        int taken = change.id >= 0
                        ? TagParserSetDataW(handle, change.id, change.value.c_str())
                        : TagParserSetExData(handle, change.name.c_str(), change.rawValue.c_str());
        if (!taken) {
            std::cerr << "lytag: " << file << ": not taken: " << change.label << '\n';
            ok = false;
        }
    }
    if (ok && !TagParserApplyFile(handle)) {
        std::cerr << "lytag: " << file << ": could not be saved\n";
        ok = false;
    }
    TagParserCloseFile(handle);
    std::cout << file << ": " << (ok ? "saved" : "not saved") << '\n';
    return ok;
}

}  // namespace

int SetCommand(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << kSetUsage;
        return kExitOk;
    }
    std::vector<std::string> files;
    std::vector<Change> changes;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].size() > 1 && args[i][0] == '-') {
            Change change;
            std::string error = ParseChange(args, &i, &change);
            if (!error.empty()) return UsageError("set: " + error);
            changes.push_back(change);
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.empty()) return UsageError("set: no file given");
    if (changes.empty()) return UsageError("set: nothing to change");
    int status = kExitOk;
    for (const auto& file : files) {
        if (!SetOne(file, changes)) status = kExitFileFailed;
    }
    return status;
}

int PictureCommand(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << kPictureUsage;
        return kExitOk;
    }
    std::string file, out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (args[i][0] == '-' || !file.empty()) {
            return UsageError("picture: unexpected argument '" + args[i] + "'");
        } else {
            file = args[i];
        }
    }
    if (file.empty() || out.empty()) return UsageError("picture: needs FILE and -o OUT");
    IBaseTag* handle = TagParserOpenFile(file.c_str());
    if (!handle) {
        ReportRefused(file);
        return kExitFileFailed;
    }
    std::string size = TagParserGetData(handle, FIELD_PICTURE_INFO);
    long bytes = size.empty() ? 0 : std::strtol(size.c_str(), nullptr, 10);
    std::vector<unsigned char> data(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    if (!data.empty()) TagParserGetAttachedPictureData(handle, data.data());
    TagParserCloseFile(handle);
    if (data.empty()) {
        std::cerr << "lytag: " << file << ": has no attached picture\n";
        return kExitFileFailed;
    }
    std::ofstream output(out, std::ios::binary | std::ios::trunc);
    output.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!output) {
        std::cerr << "lytag: cannot write " << out << '\n';
        return kExitFileFailed;
    }
    std::cout << out << ": " << data.size() << " bytes\n";
    return kExitOk;
}
