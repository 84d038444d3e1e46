// Why a CD lookup brought no names. The module tells its host only that a
// lookup ended, so when no names came lytag asks the CDDB server the same
// query once more itself and reads its answer. Blocks for at most a few
// seconds; thread-safe.
#ifndef LYPARSER_TOOLS_LYTAG_CDDB_PROBE_H
#define LYPARSER_TOOLS_LYTAG_CDDB_PROBE_H

#include <string>

struct CddbProbe {
    bool answered = false;  // the server gave a freedb answer that says it knows no such disc
    std::string reason;     // otherwise: why there are no names, for the user
};

// Sends "cddb query QUERY" to `server` (host[:port]) over HTTP, as the
// module does, honouring the usual proxy variables.
CddbProbe ProbeCddbServer(const std::string& server, const std::string& query);

#endif  // LYPARSER_TOOLS_LYTAG_CDDB_PROBE_H
