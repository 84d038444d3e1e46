#include "core/http_client.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

namespace {

struct Sink {
    std::string body;
    size_t cap;
};

size_t Receive(char* data, size_t size, size_t count, void* context) {
    auto* sink = static_cast<Sink*>(context);
    size_t bytes = size * count;
    size_t room = sink->cap - sink->body.size();
    if (bytes > room) {
        sink->body.append(data, room);
        return 0;  // over the cap: stop the transfer, keep what came
    }
    sink->body.append(data, bytes);
    return bytes;
}

// Refusals of our own (body cap, redirect limits, protocols) and answers
// other than 2xx and 5xx will not change by asking again soon.
HttpFailure Failure(CURLcode result, long status) {
    switch (result) {
        case CURLE_OK:
            break;
        case CURLE_WRITE_ERROR:
        case CURLE_TOO_MANY_REDIRECTS:
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return HttpFailure::kLasting;
        default:
            return HttpFailure::kPassing;
    }
    if (status >= 500) return HttpFailure::kPassing;
    return status >= 200 && status < 300 ? HttpFailure::kNone : HttpFailure::kLasting;
}

}  // namespace

void HttpStartup() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpLimits DefaultHttpLimits() {
    HttpLimits limits;
    if (const char* text = std::getenv("LYPARSER_HTTP_TIMEOUT_MS")) {
        long value = std::strtol(text, nullptr, 10);
        if (value > 0) {
            limits.totalTimeoutMs = value;
            if (limits.connectTimeoutMs > value) limits.connectTimeoutMs = value;
        }
    }
    return limits;
}

HttpAnswer HttpGetAnswer(const std::string& url, const HttpLimits& limits) {
    HttpStartup();
    HttpAnswer answer;
    CURL* curl = curl_easy_init();
    if (!curl) return answer;
    Sink sink{std::string(), limits.maxBodyBytes};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // safe on any thread
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, limits.maxRedirects);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    CURLcode result = curl_easy_perform(curl);  // failures keep what arrived
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_easy_cleanup(curl);
    answer.body = std::move(sink.body);
    answer.failure = Failure(result, answer.status);
    return answer;
}
