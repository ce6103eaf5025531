// The header block that a request sends: the caller's lines, browser-like defaults for what
// is missing, capitalised names, no redundant keep-alive line, and the Cookie line.
#pragma once

#include <cstdint>

#include "runtime/Owned.h"

namespace quenlark {

// The request methods by their codes, in the order of the verbs (RequestVerb).
enum RequestMethod : std::int32_t {
    kMethodGet = 0,
    kMethodPost = 1,
    kMethodHead = 2,
    kMethodPut = 3,
    kMethodOptions = 4,
    kMethodDelete = 5,
    kMethodTrace = 6,
    kMethodConnect = 7,
};

// Lines separated by CR LF; with normalisation on, no CR LF follows the last line.
[[nodiscard]] OwnedText BuildRequestHeaders(const char* requestHeaders, std::int32_t method, const char* sendCookies,
                                            bool addDefaultHeaders, bool normalizeHeaders) noexcept;

// Every line's name with the first letter of each hyphen-separated word upper-cased; lines
// without a colon are dropped; no CR LF after the last line.
[[nodiscard]] OwnedText NormalizeHeaderNames(const char* block) noexcept;

// The first character upper-cased (ASCII letters only), the rest unchanged.
[[nodiscard]] OwnedText CapitalizeFirst(const char* word) noexcept;

// The value after "name: " in the first line that begins with `name` (exact case); empty when
// there is no such line or it has no ": " after the name.
[[nodiscard]] OwnedText HeaderValue(const char* block, const char* name) noexcept;

}  // namespace quenlark
