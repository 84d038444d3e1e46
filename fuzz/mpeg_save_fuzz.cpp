// libFuzzer target: the MP3 save. The input is written to a .mp3 file in a
// private folder and opened through the exports; both tags are switched on,
// one of them is sometimes stripped at once, fields change (one with a long
// value that outgrows the tag's padding, sometimes a picture), the file is
// saved, then reopened and every answer read.
//
// Besides crashes it holds the save to its promises: a save that reports
// failure leaves the file byte for byte as it was; one that reports success
// leaves a file that answers the ID3v2 title and the ID3v1 title just written
// for each tag kept; neither leaves anything else in the folder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/save_fuzz_support.h"
#include "lyParser.h"

namespace {

const wchar_t kTitle2[] = L"Fuzz \u00e9t\u00e9 \u4e2d \U0001F3B5";
const char kTitle1[] = "fuzz v1";
const int kLongFields[] = {FIELD_LYRICS, FIELD_COMPOSER, FIELD_ALBUM2, FIELD_COMMENT2};

// What one input does besides its bytes.
struct Plan {
    int strip;          // 0, or the presence field switched off with "N"
    bool stripFirst;    // switched off before the fields change, else after
    bool locateFirst;   // the audio range asked before the save
    bool picture;       // the input file itself attached as a picture
    int longField;      // the field given the long value
    size_t longLength;  // its length, up to about 5 KB
};

Plan PlanOf(const uint8_t* data, size_t size) {
    const unsigned choice = ChoiceByte(data, size, 0);
    const unsigned length = ChoiceByte(data, size, 1);
    Plan plan;
    plan.strip = choice % 3 == 0 ? 0 : choice % 3 == 1 ? FIELD_HAS_ID3V1 : FIELD_HAS_ID3V2;
    plan.stripFirst = (choice & 0x04) != 0;
    plan.locateFirst = (choice & 0x08) != 0;
    plan.picture = (choice & 0x10) != 0 && size <= (256u << 10);
    plan.longField = kLongFields[(choice >> 5) % 4];
    plan.longLength = 32 + length * 20;
    return plan;
}

std::wstring LongValue(size_t length) {
    std::wstring value;
    while (value.size() < length) value += L"long value " + std::to_wstring(value.size()) + L"; ";
    value.resize(length);
    return value;
}

void ChangeFields(IBaseTag* handle, const Plan& plan, const std::string& path) {
    TagParserSetData(handle, FIELD_TITLE, kTitle1);
    TagParserSetData(handle, FIELD_ARTIST, "fuzz artist");
    TagParserSetData(handle, FIELD_YEAR, "1999");
    TagParserSetData(handle, FIELD_TRACK, "7");
    TagParserSetData(handle, FIELD_GENRE, "Rock");
    TagParserSetDataW(handle, FIELD_TITLE2, kTitle2);
    TagParserSetDataW(handle, FIELD_ARTIST2, L"\u00c6r\u00f8 \U00020BB7");
    TagParserSetDataW(handle, FIELD_YEAR2, L"2024");
    TagParserSetDataW(handle, FIELD_TRACK2, L"3/12");
    TagParserSetDataW(handle, FIELD_GENRE2, L"Polka");
    TagParserSetDataW(handle, FIELD_URL, L"http://example.org/fuzz");
    TagParserSetDataW(handle, FIELD_ENCODED_BY, L"mpeg_save_fuzz");
    TagParserSetDataW(handle, plan.longField, LongValue(plan.longLength).c_str());
    if (plan.picture) TagParserSetData(handle, FIELD_PICTURE, path.c_str());
}

// Opens, changes, saves; returns what the save reported (-1: not opened) and
// leaves the file as it was just before the save in `before`.
int ChangeAndSave(const std::string& path, const Plan& plan, FuzzBytes* before) {
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (!handle) return -1;
    if (plan.locateFirst) {
        int start = 0, end = 0;
        TagParserGetSourceLength(handle, &start, &end);
    }
    TagParserSetData(handle, FIELD_HAS_ID3V1, "Y");
    TagParserSetData(handle, FIELD_HAS_ID3V2, "Y");
    if (plan.strip && plan.stripFirst) TagParserSetData(handle, plan.strip, "N");
    ChangeFields(handle, plan, path);
    if (plan.strip && !plan.stripFirst) TagParserSetData(handle, plan.strip, "N");
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
    Require(handle != nullptr, "a saved MP3 file opens again", path);
    ReadEverything(handle);
    if (plan.strip != FIELD_HAS_ID3V2) {
        Require(TagParserGetDataW(handle, FIELD_TITLE2) == kTitle2,
                "the ID3v2 title reads as written", path);
        Require(TagParserGetData(handle, FIELD_HAS_ID3V2) == "Y", "a kept ID3v2 tag is present",
                path);
    }
    if (plan.strip != FIELD_HAS_ID3V1) {
        Require(TagParserGetData(handle, FIELD_TITLE) == kTitle1,
                "the ID3v1 title reads as written", path);
        Require(TagParserGetData(handle, FIELD_HAS_ID3V1) == "Y", "a kept ID3v1 tag is present",
                path);
    }
    TagParserCloseFile(handle);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TagParserInitialize(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Plan plan = PlanOf(data, size);
    CheckSave(
        "lyparser-mpeg-save-fuzz", "input.mp3", data, size,
        [&](const std::string& path, FuzzBytes* before) {
            return ChangeAndSave(path, plan, before);
        },
        [&](const std::string& path, const FuzzBytes&) { CheckSavedFile(path, plan); });
    return 0;
}
