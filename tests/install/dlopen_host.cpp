// A player's way of loading the module: dlopen of the installed library by
// path, from another folder, with no library path set. Resolves all 28
// exports, and lyCenter's set-up calls by their mangled names through the
// module's handle (a text set is read back); opens the file given, reads its
// title, and unloads.
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
    auto setText = Find<decltype(&SetResourceString)>(module, "_Z17SetResourceStringjPKc");
    auto setHandler =
        Find<decltype(&SetCallFunctionHandler)>(module, "_Z22SetCallFunctionHandlerPFvPKcjiiE");
    if (!setText || !setHandler) {
        std::fprintf(stderr, "lyCenter's set-up calls are not found by their mangled names\n");
        return 1;
    }
    auto getText = Find<decltype(&GetResourceString)>(
        module, "_Z17GetResourceStringPNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEPvj");
    std::string text;
    setText(LYTEXT_TOKEN_TITLE, "%name%");
    if (getText) getText(&text, nullptr, LYTEXT_TOKEN_TITLE);
    Find<decltype(&TagParserInitialize)>(module, "TagParserInitialize")(nullptr);
    IBaseTag* handle = Find<decltype(&TagParserOpenFile)>(module, "TagParserOpenFile")(argv[2]);
    auto describe = Find<decltype(&TagParserGetDescription)>(module, "TagParserGetDescription");
    std::string title = handle ? describe(handle, 0, "", 0) : std::string("(not opened)");
    Find<decltype(&TagParserCloseFile)>(module, "TagParserCloseFile")(handle);
    Find<decltype(&TagParserFinalize)>(module, "TagParserFinalize")();
    std::printf("%d exports, text %s, title %s\n", found, text.c_str(), title.c_str());
    return dlclose(module) == 0 && found == 28 && handle ? 0 : 1;
}
