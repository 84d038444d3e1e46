// The audio-CD part of lytag demo: a CD image made on the spot, looked up
// through the module against a freedb server that the demo runs itself on
// loopback, so nothing is needed from the user and no network.
#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <thread>

#include "tools/lytag/lytag.h"
#include "tools/samples/cd_image.h"
#include "tools/samples/cddb_server.h"

namespace {

// Three tracks of 2, 3 and 4 seconds: freedb disc id 0d000903.
const std::vector<int> kTrackFrames = {150, 225, 300};
const char kDiscId[] = "0d000903";

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

// The demo server's database: one disc.
bool WriteDatabase(const std::string& db) {
    for (const char* sub : {"", "/query", "/read", "/read/misc"}) mkdir((db + sub).c_str(), 0755);
    return WriteText(db + "/query/" + kDiscId,
                     std::string("200 misc ") + kDiscId +
                         " The Demo Players / Three Short Silences\r\n") &&
           WriteText(db + "/read/misc/" + kDiscId,
                     std::string("210 misc ") + kDiscId + " CD database entry follows\r\n" +
                         "DISCID=" + kDiscId +
                         "\r\nDTITLE=The Demo Players / Three Short Silences\r\n"
                         "DYEAR=2026\r\nTTITLE0=Hush\r\nTTITLE1=Quiet, Please\r\nTTITLE2=Still\r\n"
                         "EXTD=\r\nEXTT0=\r\nEXTT1=\r\nEXTT2=\r\nPLAYORDER=\r\n.\r\n");
}

}  // namespace

int DemoAudioCd(const std::string& folder) {
    std::cout << "== disc.cue: an audio CD image, looked up on a CDDB server on loopback\n";
    std::string image = MakeCdImage(folder, "disc", kTrackFrames);
    std::string db = folder + "/cddb";
    int port = 0;
    int listener = image.empty() || !WriteDatabase(db) ? -1 : ListenOnLoopback(&port);
    if (listener < 0) {
        std::cerr << "lytag: cannot prepare the CD demo in " << folder << '\n';
        return kExitFileFailed;
    }
    // The server runs until lytag exits.
    std::thread(ServeCddb, listener, db, folder + "/cddb-requests.log", CddbServerMode::kNormal)
        .detach();
    return CdCommand(
        {"--device", image, "--server", "127.0.0.1:" + std::to_string(port), "--timeout", "20"});
}
