// Feeds arbitrary bytes to the Windows Media parser as a .wma file through
// the exports: open, every field and text, the audio range, a save, close.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/save_fuzz_support.h"
#include "lyParser.h"

namespace {

// A file in a private temporary folder, rewritten for each input; the folder
// goes at exit.
const std::string& InputPath() {
    static const std::string path = [] {
        TagParserInitialize(nullptr);
        return ScratchPath("lyparser-wma-fuzz", "input.wma");
    }();
    return path;
}

void Drive(IBaseTag* handle) {
    for (int id = -1; id <= 38; ++id) TagParserGetDataW(handle, id);
    TagParserGetExData(handle, "DRM_LicenseAcqURL");
    for (int kind = -1; kind <= 10; ++kind) {
        TagParserGetFileInfo(handle, kind);
        TagParserGetDescription(handle, kind, "%artist% - %title% %%", kind & 1);
    }
    int start = -1, end = -1;
    TagParserGetSourceLength(handle, &start, &end);
    TagParserGetMD5(handle, &start, &end);
    TagParserSetData(handle, FIELD_ALBUM, "fuzz");
    TagParserSetExData(handle, "Title", "");
    TagParserApplyFile(handle);
    TagParserGetData(handle, FIELD_TITLE);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = InputPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    IBaseTag* handle = TagParserOpenFile(path.c_str());
    if (handle) {
        Drive(handle);
        TagParserCloseFile(handle);
    }
    return 0;
}
