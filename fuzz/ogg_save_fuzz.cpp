// libFuzzer target: the Ogg Vorbis save. The input is written to a .ogg file
// in a private folder and opened through the exports; fields and a comment of
// another name change (one field with a long value that grows the comment
// header), the file is saved, then reopened and every answer read.
//
// Besides crashes it holds the save to its promises: a save that reports
// failure leaves the file byte for byte as it was; one that reports success
// leaves a file that answers the title and the long value just written
// (when the changes were taken: a comment header that could not be read
// whole takes none; and unless the grown header pushed the setup-header
// marker out of the window the open searches, which the open then refuses);
// neither leaves anything else in the folder.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/save_fuzz_support.h"
#include "lyParser.h"

namespace {

const wchar_t kTitle[] = L"Fuzz \u00e9t\u00e9 \u4e2d \U0001F3B5";
const int kLongFields[] = {FIELD_LYRICS, FIELD_COMMENT, FIELD_ALBUM, FIELD_ARTIST};
// The open looks for the setup-header marker starting at offsets 0..5120.
constexpr size_t kMarkerWindow = 5120 + 10;

struct Plan {
    int longField;
    size_t longLength;   // up to about 4 KB
    bool taken = false;  // the changes were taken
};

Plan PlanOf(const uint8_t* data, size_t size) {
    Plan plan;
    plan.longField = kLongFields[ChoiceByte(data, size, 0) % 4];
    plan.longLength = 16 + ChoiceByte(data, size, 1) * 16;
    return plan;
}

std::wstring LongValue(size_t length) {
    std::wstring value;
    while (value.size() < length) value += L"long value " + std::to_wstring(value.size()) + L"; ";
    value.resize(length);
    return value;
}

// True when `bytes` holds "vorbis", any byte, "BCV" within the open's window.
bool MarkerInWindow(const FuzzBytes& bytes) {
    const size_t end = bytes.size() < kMarkerWindow ? bytes.size() : kMarkerWindow;
    for (size_t at = 0; at + 10 <= end; ++at) {
        if (std::memcmp(&bytes[at], "vorbis", 6) == 0 && std::memcmp(&bytes[at + 7], "BCV", 3) == 0)
            return true;
    }
    return false;
}

int ChangeAndSave(const std::string& path, Plan* plan, FuzzBytes* before) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return -1;
    plan->taken = TagParserSetDataW(handle, FIELD_TITLE, kTitle) == 1;
    TagParserSetData(handle, FIELD_YEAR, "1999");
    TagParserSetData(handle, FIELD_TRACK, "7");
    TagParserSetDataW(handle, FIELD_GENRE, L"Polka");
    TagParserSetExData(handle, "REPLAYGAIN_TRACK_GAIN", "-3.2 dB");
    TagParserSetDataW(handle, plan->longField, LongValue(plan->longLength).c_str());
    bool read = false;
    *before = ReadBytes(path, &read);
    Require(read, "the file reads before the save", path);
    const int saved = TagParserApplyFile(handle);
    ReadFields(handle);
    TagParserCloseFile(handle);
    return saved;
}

void CheckSavedFile(const std::string& path, const Plan& plan, const FuzzBytes& saved) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) {
        Require(!MarkerInWindow(saved),
                "a saved Ogg file with its marker in the window opens again", path);
        return;
    }
    ReadEverything(handle);
    if (!plan.taken) return TagParserCloseFile(handle);
    Require(TagParserGetDataW(handle, FIELD_TITLE) == kTitle, "the title reads as written", path);
    Require(TagParserGetDataW(handle, plan.longField) == LongValue(plan.longLength),
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
        "lyparser-ogg-save-fuzz", "input.ogg", data, size,
        [&](const std::string& path, FuzzBytes* before) {
            return ChangeAndSave(path, &plan, before);
        },
        [&](const std::string& path, const FuzzBytes& after) {
            CheckSavedFile(path, plan, after);
        });
    return 0;
}
