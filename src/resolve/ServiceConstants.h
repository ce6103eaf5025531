// What the two workers send that identifies them, and where the service is.
#pragma once

namespace quenlark {

// The browser the workers present themselves as.
inline constexpr char kDefaultUserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/78.0.3904.108 Safari/537.36";

// The file-sharing service's https origin, fixed at build time (QUENLARK_SERVICE_ORIGIN).
inline constexpr char kServiceOrigin[] = QUENLARK_SERVICE_ORIGIN;

}  // namespace quenlark
