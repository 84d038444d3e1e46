// HTTP GET for the module: the only place that talks to the network.
//
// Bounded so that a silent or endless server cannot hold a caller for long:
// a connect timeout, an overall timeout and a cap on the body. The usual
// proxy environment variables (http_proxy, no_proxy, ...) are honoured.
// Thread-safe; each call is independent.
#ifndef LYPARSER_CORE_HTTP_CLIENT_H
#define LYPARSER_CORE_HTTP_CLIENT_H

#include <cstddef>
#include <string>

struct HttpLimits {
    long connectTimeoutMs = 5000;
    long totalTimeoutMs = 15000;
    size_t maxBodyBytes = 4u << 20;
};

// Starts the HTTP library once per process. The module does this when it is
// loaded, on the loading thread, so that the library's own set-up and exit
// handlers belong to that thread rather than to a lookup thread.
void HttpStartup();

// The limits in force: the defaults above, or LYPARSER_HTTP_TIMEOUT_MS (the
// overall timeout; the connect timeout is capped by it) from the environment.
HttpLimits DefaultHttpLimits();

// GETs the http:// `url` and returns the body received, whatever the status. On any
// failure (no connection, timeout, body over the cap) what arrived before it
// is returned; nothing arrived gives empty text.
std::string HttpGetBody(const std::string& url, const HttpLimits& limits);

#endif  // LYPARSER_CORE_HTTP_CLIENT_H
