// libFuzzer target: COGGParser's memory-image reader on arbitrary bytes, then
// every answer that reads the lists it filled.
#include <cstddef>
#include <cstdint>

#include "parsers/ogg/ogg_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    COGGParser parser;
    parser.Initialize();
    if (parser.OpenBinaryFile(data, static_cast<int>(size))) {
        for (int id : {0, 1, 2, 3, 4, 5, 6, 26, 99}) parser.GetData(id).GetWide();
        parser.GetExData(StringEx("")).GetNarrow();
        parser.GetExData(StringEx("ENCODER")).GetNarrow();
        for (int kind = 0; kind < 10; ++kind)
            parser.GetDescription(kind, StringEx("%title% %%"), 0).GetWide();
    }
    parser.CloseFile();
    parser.Finalize();
    return 0;
}
