// Writes answers a CDDB server gives, as seeds for cddb_answer_fuzz.
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string seeds[] = {
        "200 rock 7a0bd30b Some Artist / Some Album\r\n",
        "211 Found inexact matches, list follows (until terminating `.')\r\n"
        "rock 7a0bd30b First / Match\r\nmisc 7a0bd30c Second / Match\r\n.\r\n",
        "202 No match for disc ID 7a0bd30b.\r\n",
        "210 rock 7a0bd30b CD database entry follows\r\n# xmcd\r\nDISCID=7a0bd30b\r\n"
        "DTITLE=Some Artist / Some Album\r\nDYEAR=1999\r\nDGENRE=Rock\r\nTTITLE0=One\r\n"
        "TTITLE1=Two\r\nEXTD=\r\nEXTT0=\r\nEXTT1=\r\nPLAYORDER=\r\n.\r\n",
        "Content-Type: text/plain\r\n\r\njazz 1 x\nTTITLE0=A\nDTITLE=B\nDYEAR=",
        "200 rock 7a0bd30b Bj\xF6rk / Caf\xE9\r\nDTITLE=Bj\xF6rk / Caf\xE9\r\nTTITLE0=J\xF3ga\r\n",
        "DTITLE=Bj\xC3\xB6rk / \xE2\x9C\x93\r\nTTITLE0=\xF0\x9F\x8E\xB5\r\n",
    };
    int index = 0;
    for (const auto& seed : seeds) {
        std::ofstream(std::string(argv[1]) + "/seed" + std::to_string(index++), std::ios::binary)
            << seed;
    }
    return 0;
}
