// libFuzzer target: the Opus save. The input is written to a .opus file in a
// private folder and opened through the exports; fields and a comment of
// another name change (one with a long value, up to about 130 KB, so that the
// header may outgrow its pages), the picture is replaced or removed, the
// file is saved, then reopened and every answer read.
//
// Besides crashes it holds the save to its promises: a save that reports
// failure leaves the file byte for byte as it was; one that reports success
// leaves a file that opens again and answers the title, the long value and
// the picture just written (when the changes were taken: a comment header
// that could not be read whole takes none); neither leaves anything else in
// the folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/save_fuzz_support.h"
#include "lyParser.h"

namespace {

const wchar_t kTitle[] = L"Fuzz \u00e9t\u00e9 \U0001F3B5";
const unsigned char kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};

struct Plan {
    size_t longLength;
    bool removePicture;
    bool taken = false;  // the changes were taken
    bool opus = false;   // the file holds Opus (else Vorbis, which has no picture field)
};

Plan PlanOf(const uint8_t* data, size_t size) {
    return {ChoiceByte(data, size, 0) * 512u, (ChoiceByte(data, size, 1) & 1) != 0};
}

// A PNG file in a folder of its own (the scratch folder must hold the input
// alone), removed at exit.
std::string PictureFile() {
    static std::string folder = "/tmp/lyparser-opus-picture-XXXXXX";
    if (!mkdtemp(folder.data())) std::abort();
    static const std::string file = folder + "/cover.png";
    WriteBytes(file, kPng, sizeof kPng);
    std::atexit([] {
        std::remove(file.c_str());
        std::remove(folder.c_str());
    });
    return file;
}

int ChangeAndSave(const std::string& path, Plan* plan, FuzzBytes* before) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return -1;
    static const std::string picture = PictureFile();
    plan->taken = TagParserSetDataW(handle, FIELD_TITLE, kTitle) == 1;
    plan->opus = TagParserGetFileType(handle) == FILE_TYPE_OPUS;
    TagParserSetData(handle, FIELD_COMMENT, "");
    TagParserSetExData(handle, "NOTES", std::string(plan->longLength, 'n').c_str());
    if (plan->removePicture) {
        TagParserDeleteAttachedPicture(handle);
    } else {
        TagParserSetData(handle, FIELD_PICTURE, picture.c_str());
    }
    bool read = false;
    *before = ReadBytes(path, &read);
    Require(read, "the file reads before the save", path);
    const int saved = TagParserApplyFile(handle);
    ReadFields(handle);
    TagParserCloseFile(handle);
    return saved;
}

void CheckSavedFile(const std::string& path, const Plan& plan) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) {
        // A Vorbis input may be refused again (its marker pushed away); Opus never.
        Require(!plan.opus, "a saved Opus file opens again", path);
        return;
    }
    ReadEverything(handle);
    if (!plan.taken) return TagParserCloseFile(handle);
    Require(TagParserGetDataW(handle, FIELD_TITLE) == kTitle, "the title reads as written", path);
    Require(TagParserGetExData(handle, "NOTES") == std::string(plan.longLength, 'n'),
            "the long value reads as written", path);
    Require(!plan.opus || TagParserGetData(handle, FIELD_PICTURE) ==
                              (plan.removePicture ? "" : "[image/png]"),
            "the picture reads as written", path);
    TagParserCloseFile(handle);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TagParserInitialize(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Plan plan = PlanOf(data, size);
    CheckSave(
        "lyparser-opus-save-fuzz", "input.opus", data, size,
        [&](const std::string& path, FuzzBytes* before) {
            return ChangeAndSave(path, &plan, before);
        },
        [&](const std::string& path, const FuzzBytes&) { CheckSavedFile(path, plan); });
    return 0;
}
