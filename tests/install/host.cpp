// A tiny host built against an installed lyParser: opens each file named on
// the command line and prints its type and first description.
#include <cstdio>

#include "lyParser.h"

int main(int argc, char** argv) {
    static CBassAudio engine;
    TagParserInitialize(&engine);
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        IBaseTag* file = TagParserOpenFile(argv[i]);
        if (!file) {
            std::printf("%s: refused\n", argv[i]);
            status = 1;
            continue;
        }
        std::printf("%s: type %d, %s\n", argv[i], TagParserGetFileType(file),
                    TagParserGetDescription(file, 0, "", 0).c_str());
        TagParserCloseFile(file);
    }
    TagParserFinalize();
    return status;
}
