// Feeds arbitrary bytes to the freedb client as a query answer and as a read
// answer, the two texts a CDDB server controls.
#include <cstddef>
#include <cstdint>
#include <string>

#include "parsers/cd/freedb_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string body(reinterpret_cast<const char*>(data), size);
    CFreeDBClient client;
    client.Init(L"D");
    client.SetResponse(body);
    client.ParseQuery();
    client.SetResponse(body);
    client.ParseRead();
    return 0;
}
