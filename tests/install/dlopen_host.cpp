// A player's way of loading the module: dlopen of the installed library by
// path, from another folder, with no library path set. Resolves lyCenter's
// set-up calls by their mangled names through the module's handle (a text set
// is read back) and the exports it calls; opens the file given, reads its
// title, and unloads. That the module exports the 28 functions and nothing
// else is symbols_test's.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "lyParser.h"

namespace {

template <typename F>
F Find(void* module, const char* name) {
    F found = reinterpret_cast<F>(dlsym(module, name));
    if (!found) std::fprintf(stderr, "%s is not found\n", name);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }
    auto setText = Find<decltype(&SetResourceString)>(module, "_Z17SetResourceStringjPKc");
    auto setHandler =
        Find<decltype(&SetCallFunctionHandler)>(module, "_Z22SetCallFunctionHandlerPFvPKcjiiE");
    auto getText = Find<decltype(&GetResourceString)>(
        module, "_Z17GetResourceStringPNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEPvj");
    auto initialize = Find<decltype(&TagParserInitialize)>(module, "TagParserInitialize");
    auto open = Find<decltype(&TagParserOpenFile)>(module, "TagParserOpenFile");
    auto describe = Find<decltype(&TagParserGetDescription)>(module, "TagParserGetDescription");
    auto close = Find<decltype(&TagParserCloseFile)>(module, "TagParserCloseFile");
    auto finalize = Find<decltype(&TagParserFinalize)>(module, "TagParserFinalize");
    if (!setText || !setHandler || !getText || !initialize || !open || !describe || !close ||
        !finalize) {
        return 1;
    }
    std::string text;
    setText(LYTEXT_TOKEN_TITLE, "%name%");
    getText(&text, nullptr, LYTEXT_TOKEN_TITLE);
    initialize(nullptr);
    IBaseTag* handle = open(argv[2]);
    std::string title = handle ? describe(handle, 0, "", 0) : std::string("(not opened)");
    close(handle);
    finalize();
    std::printf("text %s, title %s\n", text.c_str(), title.c_str());
    return dlclose(module) == 0 && handle ? 0 : 1;
}
