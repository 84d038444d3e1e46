// CFreeDBClient: one freedb lookup over HTTP. It asks the host's engine for
// the disc's CDDB query text, sends the query command, picks the matching
// entry, sends the read command and parses the names into a CddbDiscRecord.
// Answers are decoded as they arrive (see SetResponse), so the record holds
// UTF-8 whatever the server sent.
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
    // The whole exchange; 1 when the read answer held track titles. A query
    // answered "202" (no match) or an exchange that failed sends no more.
    int Lookup();
    // After a Lookup of 0: true when it failed for a reason that may pass (no
    // connection, a timeout, a 5xx answer), false when the server's answer
    // stands.
    bool FailedForNow() const { return failedForNow_; }
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
    // Records whether the exchange was answered and how it failed.
    std::string HttpGet(const std::string& address);
    std::string HelloText();

    // Makes `body`, as a server sent it, the answer to parse: each 10240-byte
    // block up to its first zero byte, read as UTF-8 when the text is valid
    // UTF-8 and as ISO-8859-1 otherwise.
    void SetResponse(const std::string& body);
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
    bool answered_ = false;      // the last exchange ended in a whole 2xx answer
    bool failedForNow_ = false;  // some exchange of this lookup failed for a passing reason
};

#endif  // LYPARSER_PARSERS_CD_FREEDB_CLIENT_H
