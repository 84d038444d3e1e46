// libFuzzer target: the input is written to a temporary .mp3 file and driven
// through the exports: open, every field, every technical text and
// description kind, the audio range, the picture copy, close.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lyParser.h"

namespace {

const std::string& InputPath() {
    static const std::string path = "/tmp/ly-mpeg-fuzz-" + std::to_string(getpid()) + ".mp3";
    return path;
}

bool WriteInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

void Drive(IBaseTag* handle) {
    for (int id = -1; id <= 40; ++id) TagParserGetDataW(handle, id);
    int start = 0, end = 0;
    TagParserGetSourceLength(handle, &start, &end);
    for (int kind = -1; kind <= 16; ++kind) TagParserGetFileInfo(handle, kind);
    for (int kind = -1; kind <= 10; ++kind) {
        TagParserGetDescription(handle, kind, "%title% - %artist% %% %year%", kind & 1);
    }
    int size = std::atoi(TagParserGetData(handle, FIELD_PICTURE_INFO).c_str());
    if (size > 0 && size <= (64 << 20)) {
        std::vector<unsigned char> picture(static_cast<size_t>(size));
        TagParserGetAttachedPictureData(handle, picture.data());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TagParserInitialize(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WriteInput(data, size)) return 0;
    if (IBaseTag* handle = TagParserOpenFile(InputPath().c_str())) {
        Drive(handle);
        TagParserCloseFile(handle);
    }
    std::remove(InputPath().c_str());
    return 0;
}
