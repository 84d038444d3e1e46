// save_file: a minimal host for tests that run a save under another tool
// (strace): opens FILE through the exports, sets each change, saves, and
// prints ApplyFile's result.
//
//   save_file FILE [KEY=VALUE]...
//
// A KEY of digits is a field id (TagParserSetData), any other a name
// (TagParserSetExData). Exit status 0 once the save was tried, 2 when FILE
// does not open or an argument is not KEY=VALUE.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "lyParser.h"

// Run under ptrace, where LeakSanitizer cannot work: in a sanitizer build it
// would end every run with an error.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
    return "detect_leaks=0";
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    TagParserInitialize(nullptr);
    IBaseTag* handle = TagParserOpenFile(argv[1]);
    if (!handle) return 2;
    for (int i = 2; i < argc; ++i) {
        const std::string change = argv[i];
        const size_t equals = change.find('=');
        if (equals == std::string::npos || equals == 0) return 2;
        const std::string key = change.substr(0, equals);
        const char* value = argv[i] + equals + 1;
        if (std::isdigit(static_cast<unsigned char>(key[0]))) {
            TagParserSetData(handle, std::atoi(key.c_str()), value);
        } else {
            TagParserSetExData(handle, key.c_str(), value);
        }
    }
    std::printf("%d\n", TagParserApplyFile(handle));
    TagParserCloseFile(handle);
    TagParserFinalize();
    return 0;
}
