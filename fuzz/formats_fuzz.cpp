// libFuzzer target: the formats beyond MP3, Ogg and WMA (FLAC, MP4, WAV,
// AIFF, WavPack, Musepack, Monkey's Audio). The input is written to a file
// whose ending one of its bytes chooses and driven through the exports:
// open, every field, technical text and description, the audio range and
// digest, the picture copy, a save of one changed field, close.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/save_fuzz_support.h"
#include "lyParser.h"

namespace {

const char* const kNames[] = {"input.flac", "input.m4a",  "input.m4b", "input.mp4", "input.wav",
                              "input.aif",  "input.aiff", "input.wv",  "input.mpc", "input.ape"};

void Drive(IBaseTag* handle) {
    for (int id = -1; id <= 38; ++id) TagParserGetDataW(handle, id);
    for (int kind = -1; kind <= 16; ++kind) TagParserGetFileInfo(handle, kind);
    for (int kind = -1; kind <= 10; ++kind)
        TagParserGetDescription(handle, kind, "%title% - %artist% %% %year%", kind & 1);
    int start = 0, end = 0;
    TagParserGetSourceLength(handle, &start, &end);
    TagParserGetMD5(handle, &start, &end);
    const int size = std::atoi(TagParserGetData(handle, FIELD_PICTURE_INFO).c_str());
    if (size > 0 && size <= (64 << 20)) {
        std::vector<unsigned char> picture(static_cast<size_t>(size));
        TagParserGetAttachedPictureData(handle, picture.data());
    }
    TagParserSetDataW(handle, FIELD_ALBUM2, L"fuzz");
    TagParserApplyFile(handle);
    TagParserGetData(handle, FIELD_ALBUM);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TagParserInitialize(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path =
        ScratchPath("lyparser-formats-fuzz", kNames[ChoiceByte(data, size, 0) % 10]);
    if (!WriteBytes(path, data, size)) return 0;
    if (IBaseTag* handle = TagParserOpenFile(path.c_str())) {
        Drive(handle);
        TagParserCloseFile(handle);
    }
    std::remove(path.c_str());
    return 0;
}
