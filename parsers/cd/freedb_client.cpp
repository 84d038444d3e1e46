#include "parsers/cd/freedb_client.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/ascii.h"
#include "core/code_page.h"
#include "core/http_client.h"
#include "core/module_state.h"
#include "core/platform_identity.h"
#include "lyCenter.h"
#include "parsers/cd/cd_path.h"

namespace {

constexpr char kClientName[] = "LYRAMI_CDDB_DLL";
constexpr char kClientVersion[] = "1.0";
constexpr int kProtocolLevel = 5;
constexpr size_t kReceiveBlock = 10240;

// Upper-cases ASCII letters, then turns everything but A to Z into "_".
std::string HelloWord(const std::string& text) {
    std::string word = UpperAsciiText(text);
    for (char& c : word) {
        if (c < 'A' || c > 'Z') c = '_';
    }
    return word;
}

void RemoveAll(std::string* text, const char* characters) {
    std::string kept;
    for (char c : *text) {
        if (!std::strchr(characters, c)) kept.push_back(c);
    }
    *text = kept;
}

// Each 10240-byte block of the body counts up to its first zero byte. The
// text is UTF-8 when it is valid UTF-8, else ISO-8859-1 (the protocol level's
// own encoding); it is kept as UTF-8.
std::string TextOfBody(const std::string& body) {
    std::string text;
    for (size_t at = 0; at < body.size(); at += kReceiveBlock) {
        size_t block = std::min(kReceiveBlock, body.size() - at);
        size_t zero = body.find('\0', at);
        text.append(body, at, zero < at + block ? zero - at : block);
    }
    return WideToUtf8(Utf8OrLatin1ToWide(text));
}

// The lines of `text`: each ends with a line feed, with a carriage return
// before it or not; carriage returns are dropped.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        RemoveAll(&lines.back(), "\r");
    }
    return lines;
}

bool StartsWith(const std::string& text, const char* start) {
    return text.compare(0, std::strlen(start), start) == 0;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A disc title "Artist / Title": the artist before the first " / ", the
// album after it, both trimmed; without " / " the whole text is both.
void SplitDiscTitle(const std::string& title, std::string* artist, std::string* album) {
    const size_t slash = title.find(" / ");
    *artist = Trimmed(title.substr(0, slash));
    *album = Trimmed(slash == std::string::npos ? title : title.substr(slash + 3));
}

// The status code an answer begins with, as "202 No match for disc ID ...".
bool AnswerCodeIs(const std::string& answer, const char* code) {
    return answer.compare(0, 3, code) == 0 &&
           (answer.size() == 3 || answer[3] < '0' || answer[3] > '9');
}

}  // namespace

std::string CddbServerName() {
    const char* server = std::getenv("LYPARSER_CDDB_SERVER");
    return server && *server ? server : "gnudb.gnudb.org";
}

int CFreeDBClient::Init(const std::wstring& path) {
    path_ = path;
    engineDiscId_.clear();
    response_.clear();
    queryText_.clear();
    for (const char* name : {"data", "folk", "jazz", "misc", "rock", "country", "blues", "newage",
                             "reggae", "classical", "soundtrack"}) {
        categories_.push_back(name);
    }
    return 1;
}

int CFreeDBClient::Lookup() {
    failedForNow_ = false;
    if (!GetDiscId(path_)) return 0;
    Query();
    if (!answered_ || response_.empty() || AnswerCodeIs(response_, "202")) return 0;
    ParseQuery();
    Read();
    if (!answered_ || response_.empty()) return 0;
    return ParseRead();
}

void CFreeDBClient::TakeRecord(CddbDiscRecord* out) {
    record_.discId = engineDiscId_;
    *out = record_;
}

void CFreeDBClient::ClearCategories() { categories_.clear(); }

int CFreeDBClient::GetDiscId(const std::wstring& path) {
    CBassAudio* engine = GetBassAudio();
    const int drive = DriveIndexFromPath(path);
    if (!engine || drive == kNoCdDrive) return 0;
    const char* text = engine->GetBassCD_ID(static_cast<unsigned long>(drive), 2);
    if (!text) return 0;
    queryText_ = text;
    engineDiscId_ = DiscIdFromQueryText(queryText_);
    for (char& c : queryText_) {
        if (c == ' ') c = '+';
    }
    return 1;
}

std::string CFreeDBClient::Address(const std::string& command) {
    return "http://" + CddbServerName() + "/~cddb/cddb.cgi?" + command;
}

int CFreeDBClient::Query() {
    SetResponse(HttpGet(Address("cmd=cddb+query+" + queryText_ + "&" + HelloText())));
    return 1;
}

int CFreeDBClient::Read() {
    SetResponse(HttpGet(
        Address("cmd=cddb+read+" + record_.genre + "+" + record_.discId + "&" + HelloText())));
    return 1;
}

std::string CFreeDBClient::HttpGet(const std::string& address) {
    HttpAnswer answer;
    try {
        answer = HttpGetAnswer(address, DefaultHttpLimits());
    } catch (...) {
        answer.failure = HttpFailure::kPassing;
    }
    answered_ = answer.failure == HttpFailure::kNone;
    failedForNow_ = failedForNow_ || answer.failure == HttpFailure::kPassing;
    return answer.body;
}

void CFreeDBClient::SetResponse(const std::string& body) {
    try {
        response_ = TextOfBody(body);
    } catch (...) {
        response_.clear();
    }
}

std::string CFreeDBClient::HelloText() {
    std::string user, host;
    user = CurrentUserName(&user) ? HelloWord(user) : "Unknown";
    host = LocalHostName(&host) ? HelloWord(host) : "Unknown";
    return "hello=" + user + "+" + host + "+" + kClientName + "+" + kClientVersion +
           "&proto=" + std::to_string(kProtocolLevel);
}

int CFreeDBClient::ParseQuery() {
    size_t from = response_.find("Content-Type");
    std::string text = from == std::string::npos ? response_ : response_.substr(from);
    size_t start = 0;
    for (const auto& category : categories_) {
        size_t at = text.find(category);
        if (at != std::string::npos && at > start) start = at;
    }
    std::string parts[3];
    int part = 0;
    for (size_t i = start; i < text.size(); ++i) {
        char c = text[i];
        if (c == ' ' && part < 2) {
            ++part;
        } else if (c == '\n' && part == 2) {
            RemoveAll(&parts[0], " ");
            RemoveAll(&parts[1], " ");
            RemoveAll(&parts[2], "\r\n");
            parts[2].erase(0, parts[2].find_first_not_of(' '));
            record_.genre = parts[0];
            record_.discId = parts[1];
            SplitDiscTitle(parts[2], &record_.artist, &record_.album);
            return 1;
        }
        parts[part].push_back(c);
    }
    return 1;
}

int CFreeDBClient::ParseRead() {
    const size_t first = response_.find("TTITLE");
    if (first == std::string::npos) return 0;
    for (const auto& line : Lines(response_.substr(first))) {
        // The extended data that follows the titles ends them, whatever a
        // title holds ("NEXT TIME").
        if (StartsWith(line, "EXTD=") || StartsWith(line, "EXTT")) break;
        size_t equals = line.find('=');
        record_.trackTitles.push_back(equals == std::string::npos ? line : line.substr(equals + 1));
    }
    bool yearSeen = false;
    std::string title;  // a long one goes on over several DTITLE lines
    for (const auto& line : Lines(response_)) {
        if (!yearSeen && StartsWith(line, "DYEAR=")) {
            record_.year += line.substr(6);
            yearSeen = true;
        }
        if (StartsWith(line, "DTITLE=")) title += line.substr(7);
    }
    if (!title.empty()) SplitDiscTitle(title, &record_.artist, &record_.album);
    return 1;
}
