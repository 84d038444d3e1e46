// HTTP GET for the module: the only place that talks to the network.
//
// Bounded so that a silent or endless server cannot hold a caller for long:
// a connect timeout, an overall timeout and a cap on the body, which hold for
// the whole exchange, redirects included. Redirects are followed, a few hops
// at most and to http or https only. The usual proxy environment variables
// (http_proxy, no_proxy, ...) are honoured. Thread-safe; each call is
// independent.
#ifndef LYPARSER_CORE_HTTP_CLIENT_H
#define LYPARSER_CORE_HTTP_CLIENT_H

#include <cstddef>
#include <string>

struct HttpLimits {
    long connectTimeoutMs = 5000;
    long totalTimeoutMs = 15000;
    size_t maxBodyBytes = 4u << 20;
    long maxRedirects = 5;
};

// How an exchange ended, for a caller deciding whether to ask again later.
enum class HttpFailure {
    kNone,     // a 2xx answer arrived whole
    kPassing,  // no connection, a timeout, a broken transfer or a 5xx answer
    kLasting,  // any other answer, a body over the cap, a refused redirect
};

struct HttpAnswer {
    std::string body;  // what arrived of the final answer's body
    long status = 0;   // its HTTP status; 0 when no answer arrived
    HttpFailure failure = HttpFailure::kPassing;
};

// Starts the HTTP library once per process. The module does this when it is
// loaded, on the loading thread, so that the library's own set-up and exit
// handlers belong to that thread rather than to a lookup thread.
void HttpStartup();

// The limits in force: the defaults above, or LYPARSER_HTTP_TIMEOUT_MS (the
// overall timeout; the connect timeout is capped by it) from the environment.
HttpLimits DefaultHttpLimits();

// GETs the http:// or https:// `url`. Whatever the status or failure, the
// body holds what arrived before the end; nothing arrived gives empty text.
HttpAnswer HttpGetAnswer(const std::string& url, const HttpLimits& limits);

#endif  // LYPARSER_CORE_HTTP_CLIENT_H
