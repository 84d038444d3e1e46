// lytag set: changes the fields a user names and keeps everything else.
//
// Each file is planned first (set_plan.h): any change the module cannot make
// as asked refuses the whole file before anything is recorded. Then the calls
// are made, the file saved once, and reopened to check what it now holds.
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <map>

#include "core/code_page.h"
#include "lyParser.h"
#include "tools/lytag/command_line.h"
#include "tools/lytag/file_check.h"
#include "tools/lytag/lytag.h"
#include "tools/lytag/picture_file.h"
#include "tools/lytag/set_plan.h"
#include "tools/lytag/tag_items.h"

namespace {

CommandInfo SetCommandInfo() {
    return {
        "lytag set [OPTIONS] FILE...",
        "Changes the fields named below in each FILE and saves it. Everything else the file\n"
        "holds stays as it was: every other frame, comment, attribute, picture and tag.\n"
        "Prints one line per change, then \"FILE: saved\". A file lyParser cannot change as\n"
        "asked, or cannot write, is refused with the reason and left untouched.\n"
        "\n"
        "Field names mean the same in every format:\n" +
            FieldNameList() +
            "\n"
            "Names may be written in any letter case. In an MP3, title ... track are the\n"
            "ID3v2 fields a player shows, kept in step with the ID3v1 fields when the file has\n"
            "that tag; NAME:v1 or NAME:v2 (title:v1) names one tag. FLAC, MP4, WAV, AIFF,\n"
            "WavPack, Musepack and Monkey's Audio files have one tag for every field. An empty\n"
            "VALUE removes the field.\n"
            "\n"
            "Picture types:\n" +
            PictureTypeList(),
        {
            {"field", 0, "NAME=VALUE", "set the field NAME (see above)"},
            {"comment", 0, "NAME=VALUE",
             "set any Vorbis comment (Ogg Vorbis, Opus, FLAC); an empty\nVALUE removes it"},
            {"attribute", 0, "NAME=VALUE",
             "set any string attribute (Windows Media); an empty VALUE\nremoves it"},
            {"item", 0, "KEY=VALUE",
             "set any text frame, atom or item by the key show --all\n"
             "lists (TXXX:MOOD, COMM:note:eng, ----:mean:name);\n"
             "an empty VALUE removes it"},
            {"remove", 0, "NAME",
             "remove the field NAME, or the comment, attribute, frame,\n"
             "atom or item NAME (as show --all lists it)"},
            {"id3v1", 0, "Y|N",
             "add (Y) or remove (N) the ID3v1 tag (MP3); N removes it\nat once, before the other "
             "changes are saved"},
            {"id3v2", 0, "Y|N", "add (Y) or remove (N) the ID3v2 tag (MP3), the same way"},
            {"picture", 0, "[TYPE=]IMAGE",
             "attach IMAGE, a JPEG, PNG or GIF file, as the picture of\n"
             "TYPE (default: front, the front cover); every other\n"
             "picture stays"},
            {"remove-picture", 0, "[TYPE]",
             "remove the pictures of TYPE (one listed above;\n"
             "--remove-picture=TYPE is plain), or, without TYPE,\n"
             "every picture",
             [](const std::string& word) { return ParsePictureType(word) >= 0; }},
            {"lyrics", 0, "TEXTFILE", "set the lyrics from a UTF-8 text file"},
            {"dry-run", 'n', nullptr, "print what would change; write nothing"},
            {"preserve-mtime", 0, nullptr, "give each saved file back its modification time"},
            {"quiet", 'q', nullptr, "print nothing on stdout; refusals still go to stderr"},
        },
        "Exit status: 0 every file was saved (with --dry-run: could be); 1 a file was\n"
        "refused or could not be saved; 2 bad usage.\n"};
}

struct SetOptions {
    std::vector<SetRequest> requests;
    bool dryRun = false;
    bool preserveMtime = false;
    bool quiet = false;
};

bool SplitAssignment(const std::string& text, std::string* name, std::string* value) {
    size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    *name = text.substr(0, equals);
    *value = text.substr(equals + 1);
    return true;
}

// One option as a request. Returns -1 when taken, else the exit status.
int ParseRequest(const CommandLine::Option& option, SetRequest* request) {
    std::string name, value;
    const std::string& text = option.value;
    if (option.name == "field" || option.name == "comment" || option.name == "attribute" ||
        option.name == "item") {
        if (!SplitAssignment(text, &name, &value))
            return UsageError("set: --" + option.name + " needs NAME=VALUE");
        request->text = FromLocale(value);
        request->kind = option.name == "field"     ? SetRequest::kField
                        : option.name == "comment" ? SetRequest::kComment
                        : option.name == "item"    ? SetRequest::kItem
                                                   : SetRequest::kAttribute;
        std::string error;
        if (option.name != "field") {
            request->name = name;
        } else if (!ParseFieldName(name, &request->field, &error)) {
            return UsageError("set: " + error);
        }
    } else if (option.name == "id3v1" || option.name == "id3v2") {
        if (text != "Y" && text != "N" && text != "y" && text != "n") {
            return UsageError("set: --" + option.name + " takes Y or N");
        }
        request->kind = SetRequest::kTag;
        request->name = option.name == "id3v1" ? "ID3v1" : "ID3v2";
        request->text = text == "Y" || text == "y" ? L"Y" : L"N";
    } else if (option.name == "remove") {
        if (text.empty()) return UsageError("set: --remove needs a NAME");
        request->kind = SetRequest::kRemove;
        request->name = text;
    } else if (option.name == "picture") {
        // TYPE=IMAGE when what comes before "=" names a type; else the whole is the file.
        const size_t equals = text.find('=');
        const int type =
            equals == std::string::npos ? -1 : ParsePictureType(text.substr(0, equals));
        request->pictureType = type >= 0 ? type : kFrontCover;
        request->path = type >= 0 ? text.substr(equals + 1) : text;
        std::string problem = CheckPictureFile(request->path, &request->bytes);
        if (!problem.empty()) return ReportFile(request->path, problem), kExitFileFailed;
        request->kind = SetRequest::kPicture;
    } else if (option.name == "remove-picture") {
        request->kind = SetRequest::kRemovePicture;
        request->pictureType = text.empty() ? -1 : ParsePictureType(text);
        if (!text.empty() && request->pictureType < 0)
            return UsageError("set: unknown picture type '" + text + "'");
    } else if (option.name == "lyrics") {
        std::string problem = ReadProblem(text);
        std::ifstream in(text, std::ios::binary);
        if (problem.empty() && !in) problem = "cannot be read";
        if (!problem.empty()) return ReportFile(text, problem), kExitFileFailed;
        std::string error;
        ParseFieldName("lyrics", &request->field, &error);
        request->text = FromUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
    } else {
        return -2;  // not a change
    }
    return -1;
}

// Makes the planned calls and saves. "" on success, else why not: the
// module's reason ("DISK_FULL: the disk is full, ..."), else what the file
// system tells when the module could not tell.
std::string Carry(IBaseTag* handle, const std::string& file, const SetPlan& plan) {
    std::string refused = RecordPlan(handle, plan);
    if (!refused.empty()) {
        const std::string reason = TagParserGetExData(handle, LYPARSER_KEY_LAST_ERROR);
        return reason.empty() ? refused : refused + " (" + reason + ")";
    }
    if (plan.pictureBytes > 0 &&
        TagParserGetData(handle, FIELD_PICTURE_INFO) != std::to_string(plan.pictureBytes)) {
        return "lyParser could not read the picture file";
    }
    for (int tag : plan.stripTags) TagParserSetData(handle, tag, "N");  // written at once
    if (plan.save && TagParserApplyFile(handle)) return std::string();
    const std::string reason = TagParserGetExData(handle, LYPARSER_KEY_LAST_ERROR);
    if (!reason.empty() && reason.rfind("FAILED:", 0) != 0) return reason;
    std::string problem = SaveProblem(file);
    if (!plan.save) return problem;  // only tags were removed: checked after reopening
    return problem.empty() ? "lyParser refused to save it" : problem;
}

// Reopens the saved file: a tag or picture that is not as planned is an
// error; a field that reads back otherwise (ID3v1 holds 30 characters) a note.
std::string Check(const std::string& file, const SetPlan& plan, const std::string& stripProblem,
                  bool quiet) {
    IBaseTag* handle = TagParserOpenFile(file.c_str());
    if (!handle) return "cannot be opened after the save";
    std::string problem;
    for (int tag : plan.stripTags) {
        if (TagParserGetData(handle, tag) != "N") {
            problem = !stripProblem.empty()
                          ? stripProblem
                          : std::string("lyParser did not remove the ") +
                                (tag == FIELD_HAS_ID3V1 ? "ID3v1" : "ID3v2") + " tag";
        }
    }
    std::string pictureSize = TagParserGetData(handle, FIELD_PICTURE_INFO);
    if (plan.pictureBytes >= 0 &&
        pictureSize != (plan.pictureBytes ? std::to_string(plan.pictureBytes) : "")) {
        problem = "the picture was not saved";
    }
    for (const auto& picture : plan.pictures) {
        TagParserSetExData(handle, LYPARSER_KEY_SHOWN_PICTURE,
                           std::to_string(picture.type).c_str());
        if (TagParserGetData(handle, FIELD_PICTURE_INFO) !=
            (picture.bytes ? std::to_string(picture.bytes) : "")) {
            problem = "the picture was not saved";
        }
    }
    std::map<std::string, const ModuleCall*> last;  // the last call per field decides
    for (const auto& call : plan.calls) {
        if (call.check) last[call.label] = &call;
    }
    for (const auto& [label, call] : last) {
        std::wstring now = call->kind == ModuleCall::kSetExData
                               ? CodePageToWide(TagParserGetExData(handle, call->name.c_str()))
                               : TagParserGetDataW(handle, call->id);
        std::wstring asked =
            call->kind == ModuleCall::kSetWide ? call->wide : CodePageToWide(call->narrow);
        if (label.rfind("year", 0) == 0 && now.size() == 4)
            asked = asked.substr(0, 4);  // ID3v2 reads the year only
        if (now != asked && !quiet)
            ReportFile(file, "note: " + label + " now holds " + QuotedValue(now));
    }
    TagParserCloseFile(handle);
    return problem;
}

bool SetOne(const std::string& file, const SetOptions& options) {
    std::string problem = ReadProblem(file);
    if (problem.empty()) problem = PendingProblem(file);
    IBaseTag* handle = problem.empty() ? TagParserOpenFile(file.c_str()) : nullptr;
    if (!handle) {
        ReportFile(file, problem.empty() ? OpenRefusal(file) : problem);
        if (!options.quiet) std::cout << file << ": not saved\n";
        return false;
    }
    SetPlan plan = PlanSet(handle, TagParserGetFileType(handle), options.requests);
    const bool writes = plan.save || !plan.stripTags.empty();
    if (plan.refusals.empty() && writes) problem = WriteProblem(file);
    if (problem.empty() && writes) problem = NoAudioProblem(handle, file);
    if (!problem.empty()) plan.refusals.push_back(problem);
    for (const auto& refusal : plan.refusals) ReportFile(file, refusal);
    if (plan.refusals.empty() && !options.quiet) {
        for (const auto& note : plan.notes) ReportFile(file, "note: " + note);
    }
    if (!options.quiet && plan.refusals.empty()) {
        for (const auto& line : plan.lines) std::cout << file << ": " << line << '\n';
    }
    if (!plan.refusals.empty() || options.dryRun || !writes) {
        TagParserCloseFile(handle);
        if (!options.quiet) {
            std::cout << file << ": "
                      << (!plan.refusals.empty() ? "not saved"
                          : options.dryRun       ? "not saved (dry run)"
                                                 : "nothing to change")
                      << '\n';
        }
        return plan.refusals.empty();
    }
    struct stat before;
    const bool timed = stat(file.c_str(), &before) == 0;
    problem = Carry(handle, file, plan);
    TagParserCloseFile(handle);
    if (problem.empty() || !plan.save) problem = Check(file, plan, problem, options.quiet);
    const bool saved = problem.empty();
    if (saved && options.preserveMtime) {
        struct timespec times[2] = {before.st_atim, before.st_mtim};
        if (!timed || utimensat(AT_FDCWD, file.c_str(), times, 0) != 0) {
            problem = "its modification time could not be kept";
        }
    }
    if (!problem.empty()) ReportFile(file, problem);
    if (!options.quiet) std::cout << file << ": " << (saved ? "saved" : "not saved") << '\n';
    return problem.empty();
}

}  // namespace

int SetCommand(const std::vector<std::string>& args) {
    CommandLine line;
    if (int status = ParseCommandLine("set", SetCommandInfo(), args, &line); status >= 0)
        return status;
    SetOptions options;
    for (const auto& option : line.options) {
        SetRequest request;
        int status = ParseRequest(option, &request);
        if (status == -1) options.requests.push_back(request);
        if (status >= 0) return status;
    }
    options.dryRun = line.Has("dry-run");
    options.preserveMtime = line.Has("preserve-mtime");
    options.quiet = line.Has("quiet");
    if (line.operands.empty()) return UsageError("set: no file given");
    if (options.requests.empty()) return UsageError("set: nothing to change");
    int status = kExitOk;
    for (const auto& file : line.operands) {
        if (!SetOne(file, options)) status = kExitFileFailed;
    }
    return status;
}
