// The worker behind Quenlark_Location: the Location value of a URL's response.
#pragma once

#include <cstdint>

#include "runtime/Owned.h"

namespace quenlark {

// How long the probe's exchange may take in all: the URL usually comes from an answer of the
// service, and its host may be anybody's.
struct ProbeLimits {
    std::uint32_t maxExchangeMs = 60000;
};

// One GET without following redirects. The value of the response's Location line (up to its
// CR LF, untrimmed); null for an empty value; the empty text when there is no such line or
// the request fails or runs out of time. The response body is never read.
[[nodiscard]] OwnedText LocationProbe(const char* url, const ProbeLimits& limits = {}) noexcept;

}  // namespace quenlark
