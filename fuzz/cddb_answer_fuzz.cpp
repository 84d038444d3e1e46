// Feeds arbitrary bytes to the freedb client as a query answer and as a read
// answer, the two texts a CDDB server controls, and checks that whatever the
// server sent, every name comes out as valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/code_page.h"
#include "parsers/cd/freedb_client.h"

namespace {

void CheckUtf8(const std::string& text) {
    if (WideToUtf8(Utf8ToWide(text)) != text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string body(reinterpret_cast<const char*>(data), size);
    CFreeDBClient client;
    client.Init(L"D");
    client.SetResponse(body);
    client.ParseQuery();
    client.SetResponse(body);
    client.ParseRead();
    const CddbDiscRecord& record = client.record();
    for (const std::string* text :
         {&record.discId, &record.artist, &record.album, &record.year, &record.genre})
        CheckUtf8(*text);
    for (const auto& title : record.trackTitles) CheckUtf8(title);
    return 0;
}
