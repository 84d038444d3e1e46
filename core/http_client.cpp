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

std::string HttpGetBody(const std::string& url, const HttpLimits& limits) {
    HttpStartup();
    CURL* curl = curl_easy_init();
    if (!curl) return std::string();
    Sink sink{std::string(), limits.maxBodyBytes};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // safe on any thread
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_perform(curl);  // failures keep what arrived
    curl_easy_cleanup(curl);
    return sink.body;
}
