#include "resolve/LocationProbe.h"

#include "http/WebRequest.h"
#include "resolve/ServiceConstants.h"
#include "runtime/Trace.h"
#include "text/Markers.h"
#include "text/NameValueList.h"

namespace quenlark {

OwnedText LocationProbe(const char* url, const ProbeLimits& limits) noexcept {
    NameValueList headers;
    headers.Add("User-Agent", kDefaultUserAgent);
    const OwnedText headerText = headers.ToHeaderText();

    // The exchange ends once the headers are in: a link that answers with the file itself
    // must not be downloaded only to be thrown away.
    OwnedText responseHeaders;
    (void)WebRequest({.url = url,
                      .method = kMethodGet,
                      .requestHeaders = headerText.Get(),
                      .responseHeaders = &responseHeaders,
                      .noRedirect = true,
                      .limits = {.maxTotalMs = limits.maxExchangeMs}},
                     ResponseBody::Skip);

    // Only a line that begins with the name counts ("Content-Location: " must not match); the
    // block starts with the status line, so every header line follows a CR LF.
    OwnedText location = TextBetween(responseHeaders.Get(), "\r\nLocation: ", "\r\n", std::nullopt, true);
    if (location.empty() && !responseHeaders.empty()) trace::Line("failure", "the response has no Location line");
    return location;
}

}  // namespace quenlark
