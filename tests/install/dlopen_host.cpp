// A player's way of loading the module: dlopen of the installed library by
// path, from another folder, with no library path set. Resolves all 28
// exports, opens and reads the file given, and unloads.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "lyParser.h"

namespace {

const char* const kExports[] = {
    "TagParserApplyFile",       "TagParserCloseFile",       "TagParserDeleteAttachedPicture",
    "TagParserFinalize",        "TagParserGetAllLyric",     "TagParserGetAttachedPictureData",
    "TagParserGetCheckSum",     "TagParserGetData",         "TagParserGetDataW",
    "TagParserGetDescription",  "TagParserGetDescriptionW", "TagParserGetExData",
    "TagParserGetFileInfo",     "TagParserGetFileType",     "TagParserGetLyrics",
    "TagParserGetMD5",          "TagParserGetSourceLength", "TagParserInitialize",
    "TagParserIsForceFreeCDDB", "TagParserOpenBinaryFile",  "TagParserOpenFile",
    "TagParserOpenFileW",       "TagParserSetAllLyric",     "TagParserSetData",
    "TagParserSetDataW",        "TagParserSetExData",       "TagParserSetForceFreeCDDB",
    "TagParserSetLyrics",
};

template <typename F>
F Find(void* module, const char* name) {
    return reinterpret_cast<F>(dlsym(module, name));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }
    int found = 0;
    for (const char* name : kExports) {
        if (dlsym(module, name)) {
            ++found;
        } else {
            std::fprintf(stderr, "missing export %s\n", name);
        }
    }
    Find<decltype(&TagParserInitialize)>(module, "TagParserInitialize")(nullptr);
    IBaseTag* handle = Find<decltype(&TagParserOpenFile)>(module, "TagParserOpenFile")(argv[2]);
    auto describe = Find<decltype(&TagParserGetDescription)>(module, "TagParserGetDescription");
    std::string title = handle ? describe(handle, 0, "", 0) : std::string("(not opened)");
    Find<decltype(&TagParserCloseFile)>(module, "TagParserCloseFile")(handle);
    Find<decltype(&TagParserFinalize)>(module, "TagParserFinalize")();
    std::printf("%d exports, title %s\n", found, title.c_str());
    return dlclose(module) == 0 && found == 28 && handle ? 0 : 1;
}
