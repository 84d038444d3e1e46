// libFuzzer target: Opus headers through the exports. The input is written
// to a .opus file and opened; every answer is read: the comment fields, the
// pictures of METADATA_BLOCK_PICTURE comments (label, size, bytes), the
// technical texts (the length from the last page's granule) and the audio
// range with its digest.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/save_fuzz_support.h"
#include "lyParser.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TagParserInitialize(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = ScratchPath("lyparser-opus-header-fuzz", "input.opus");
    if (!WriteBytes(path, data, size)) return 0;
    if (IBaseTag* handle = TagParserOpenFile(path.c_str())) {
        ReadEverything(handle);
        TagParserCloseFile(handle);
    }
    return 0;
}
