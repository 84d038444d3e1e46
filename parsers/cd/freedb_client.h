// CFreeDBClient: one freedb lookup over HTTP. It asks the host's engine for
// the disc's CDDB query text, sends the query command, picks the matching
// entry, sends the read command and parses the names into a CddbDiscRecord.
//
// One client serves one lookup on one thread; it takes no lock itself.
#ifndef LYPARSER_PARSERS_CD_FREEDB_CLIENT_H
#define LYPARSER_PARSERS_CD_FREEDB_CLIENT_H

#include <string>
#include <vector>

#include "parsers/cd/cddb_disc_record.h"

// The CDDB server as host[:port]: LYPARSER_CDDB_SERVER, else gnudb.gnudb.org.
std::string CddbServerName();

class CFreeDBClient {
public:
    // Remembers the drive text and lists the categories to search; returns 1.
    int Init(const std::wstring& path);
    // The whole exchange; 1 when the read answer held track titles.
    int Lookup();
    // Copies the record out, with the engine's disc identity as its discId.
    void TakeRecord(CddbDiscRecord* out);
    void ClearCategories();

    // Reads the engine's query text for the drive of `path`; 0 without one.
    int GetDiscId(const std::wstring& path);
    int Query();
    int Read();
    // Fill the record from the last answer.
    int ParseQuery();
    int ParseRead();
    // The body of one GET; what arrived before a failure, or empty text.
    std::string HttpGet(const std::string& address);
    std::string HelloText();

    // For callers that examine an answer directly.
    void SetResponse(const std::string& response) { response_ = response; }
    const CddbDiscRecord& record() const { return record_; }
    const std::string& queryText() const { return queryText_; }
    const std::string& engineDiscId() const { return engineDiscId_; }

private:
    std::string Address(const std::string& command);

    CddbDiscRecord record_;
    std::string response_;
    std::wstring path_;
    std::string engineDiscId_;
    std::string queryText_;
    std::vector<std::string> categories_;
};

#endif  // LYPARSER_PARSERS_CD_FREEDB_CLIENT_H
