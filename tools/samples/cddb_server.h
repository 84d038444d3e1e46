// A tiny freedb server over HTTP, for demonstrations and tests on loopback.
//
// It answers "cmd=cddb+query+<discid>+..." with the file <db>/query/<discid>
// and "cmd=cddb+read+<category>+<discid>+..." with <db>/read/<category>/<discid>
// (a "no match" answer when the file is missing), one connection at a time.
// A file <path>.once is answered in preference to <path>, once: it is removed
// as it is used. A file that begins with "HTTP/" is a whole HTTP answer
// (status line, headers, body), so a disc can be made to fail or to redirect;
// any other file is the body of a 200 answer.
// Every request's target is appended as one line to the log file, when one is named.
#ifndef LYPARSER_TOOLS_SAMPLES_CDDB_SERVER_H
#define LYPARSER_TOOLS_SAMPLES_CDDB_SERVER_H

#include <string>

enum class CddbServerMode {
    kNormal,   // answers from the database
    kSilent,   // accepts connections and never answers
    kEndless,  // answers with a body that never ends
};

// Listens on 127.0.0.1 on *port, or on a free port when *port is 0; returns
// the socket, or -1. *port receives the port.
int ListenOnLoopback(int* port);

// Serves on `listener` until the process is stopped; `log` may be empty.
void ServeCddb(int listener, const std::string& db, const std::string& log, CddbServerMode mode);

#endif  // LYPARSER_TOOLS_SAMPLES_CDDB_SERVER_H
