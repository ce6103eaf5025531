// The bare WinHTTP client that the benchmarks measure the library against: one exchange opened
// with the options the library sets (no proxy, a session of its own, the certificate flags,
// no automatic cookies), with nothing else around it.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

#include "platform/UniqueHandle.h"

namespace quenlark::bench {

// Handles close request first, then connection, then session.
struct BareExchange {
    UniqueInternetHandle session;
    UniqueInternetHandle connection;
    UniqueInternetHandle request;
};

// Sends the request and waits for the response headers; false when any step fails. `headers`
// are CR LF ended lines; the body goes out as it is.
bool OpenBareExchange(const std::string& url, const char* verb, const std::string& headers, const std::string& body,
                      bool noRedirect, BareExchange& exchange);

// The whole body, read in the chunks the server announces (empty when the exchange fails).
std::string BareFetch(const std::string& url, const char* verb = "GET", const std::string& headers = {},
                      const std::string& body = {}, bool noRedirect = false);

}  // namespace quenlark::bench
