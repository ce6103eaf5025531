// The worker behind Quenlark_Location: the Location value of a URL's response.
#pragma once

#include "runtime/Owned.h"

namespace quenlark {

// One GET without following redirects. The value of the response's Location line (up to its
// CR LF, untrimmed); null for an empty value; the empty text when there is no such line or
// the request fails. The response body is never read.
[[nodiscard]] OwnedText LocationProbe(const char* url) noexcept;

}  // namespace quenlark
