#include "tools/lytag/cddb_probe.h"

#include <curl/curl.h>

#include "lyParser.h"

namespace {

constexpr long kConnectTimeoutMs = 5000;
constexpr long kTotalTimeoutMs = 10000;
constexpr size_t kMaxAnswer = 64 * 1024;

size_t Collect(char* data, size_t size, size_t count, void* target) {
    auto* text = static_cast<std::string*>(target);
    if (text->size() > kMaxAnswer) return 0;  // a freedb query answer is a few lines
    text->append(data, size * count);
    return size * count;
}

std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find_first_of("\r\n"));
    return line.size() > 80 ? line.substr(0, 80) + "..." : line;
}

}  // namespace

CddbProbe ProbeCddbServer(const std::string& server, const std::string& query) {
    std::string words = query;
    for (char& c : words) c = c == ' ' ? '+' : c;
    const std::string url = "http://" + server + "/~cddb/cddb.cgi?cmd=cddb+query+" + words +
                            "&hello=lytag+localhost+lytag+" LYPARSER_VERSION_STRING "&proto=5";
    CddbProbe probe;
    CURL* curl = curl_easy_init();
    if (!curl) return probe.reason = "the CDDB server could not be asked", probe;
    std::string body;
    char error[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    if (result != CURLE_OK && status == 0) {
        probe.reason = std::string("the CDDB server did not answer (") +
                       (error[0] ? error : curl_easy_strerror(result)) + ")";
    } else if (status < 200 || status > 299) {
        probe.reason = "the CDDB server failed: HTTP status " + std::to_string(status);
    } else if (body.compare(0, 3, "202") == 0) {
        probe.answered = true;
    } else if (body.compare(0, 1, "2") == 0) {
        probe.reason = "the CDDB server knows the disc, but its names did not arrive";
    } else {
        probe.reason = "the CDDB server failed: \"" + FirstLine(body) + "\"";
    }
    return probe;
}
