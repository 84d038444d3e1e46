// libFuzzer target: the save of the formats beyond MP3, Ogg and WMA. The
// input is written to a file whose ending one of its bytes chooses; when a
// format reads it, fields change (a title outside the Basic Multilingual
// Plane, a long value that may outgrow the room the tag has, a removal,
// sometimes a new front cover), the file is saved, then reopened and every
// answer read.
//
// Besides crashes it holds the save to its promises: a save that reports
// failure leaves the file byte for byte as it was; one that reports success
// leaves a file that answers the title and the long value just written, when
// they were taken; neither leaves anything else in the folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/save_fuzz_support.h"
#include "lyParser.h"

namespace {

const char* const kNames[] = {"input.flac", "input.m4a",  "input.m4b", "input.mp4", "input.wav",
                              "input.aif",  "input.aiff", "input.wv",  "input.mpc", "input.ape"};
const wchar_t kTitle[] = L"Fuzz \u00e9t\u00e9 \u4e2d \U0001F3B5";
const int kLongFields[] = {FIELD_LYRICS, FIELD_COMMENT2, FIELD_COMPOSER, FIELD_URL};

struct Plan {
    const char* name;
    int longField;
    size_t longLength;  // up to about 20 KB
    bool picture;
    bool titleTaken = false;  // by the open file, which may refuse a change
    bool longTaken = false;
};

Plan PlanOf(const uint8_t* data, size_t size) {
    const unsigned choice = ChoiceByte(data, size, 1);
    Plan plan;
    plan.name = kNames[ChoiceByte(data, size, 0) % 10];
    plan.longField = kLongFields[choice % 4];
    plan.longLength = 16 + ChoiceByte(data, size, 2) * 80;
    plan.picture = (choice & 0x10) != 0;
    return plan;
}

std::wstring LongValue(size_t length) {
    std::wstring value;
    while (value.size() < length) value += L"long value " + std::to_wstring(value.size()) + L"; ";
    value.resize(length);
    return value;
}

// A 1x1 PNG outside the folder the saves are checked in, removed at exit.
const std::string& Cover() {
    static const std::string path = [] {
        static const unsigned char png[] =
            "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\x90wS\xde\0\0\0"
            "\x0cIDATx\x9c"
            "c\xf8\xcf\xc0\0\0\x03\x01\x01\0\xc9\xfe\x92\xef\0\0\0\0IEND\xae"
            "B`\x82";
        static const std::string cover =
            "/tmp/lyparser-formats-save-fuzz-" + std::to_string(getpid()) + ".png";
        WriteBytes(cover, png, sizeof png - 1);
        std::atexit([] { std::remove(cover.c_str()); });
        return cover;
    }();
    return path;
}

// -1 when no format reads the file (the fallback parser saves nothing).
int ChangeAndSave(const std::string& path, Plan* plan, FuzzBytes* before) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return -1;
    if (TagParserGetFileType(handle) < FILE_TYPE_FLAC) {
        TagParserCloseFile(handle);
        return -1;
    }
    plan->titleTaken = TagParserSetDataW(handle, FIELD_TITLE2, kTitle) == 1;
    TagParserSetDataW(handle, FIELD_TRACK, L"3/12");
    TagParserSetDataW(handle, FIELD_ARTIST, L"");
    plan->longTaken =
        TagParserSetDataW(handle, plan->longField, LongValue(plan->longLength).c_str()) == 1;
    if (plan->picture) TagParserSetData(handle, FIELD_PICTURE, Cover().c_str());
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
    Require(handle != nullptr, "a saved file opens again", path);
    ReadEverything(handle);
    Require(!plan.titleTaken || TagParserGetDataW(handle, FIELD_TITLE) == kTitle,
            "the title reads as written", path);
    Require(
        !plan.longTaken || TagParserGetDataW(handle, plan.longField) == LongValue(plan.longLength),
        "the long value reads as written", path);
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
        "lyparser-formats-save-fuzz", plan.name, data, size,
        [&](const std::string& path, FuzzBytes* before) {
            return ChangeAndSave(path, &plan, before);
        },
        [&](const std::string& path, const FuzzBytes&) { CheckSavedFile(path, plan); });
    std::remove(ScratchPath("lyparser-formats-save-fuzz", plan.name).c_str());
    return 0;
}
