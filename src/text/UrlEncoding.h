// Percent-encoding of texts for URLs and form bodies.
#pragma once

#include "runtime/Owned.h"

namespace quenlark {

// %XX escapes of every byte but the unreserved ones (-, ., 0-9, A-Z, a-z) when
// `keepUnreserved`, of every byte otherwise; with `toUtf8`, of the text's UTF-8 form.
[[nodiscard]] OwnedText UrlEncode(const char* text, bool keepUnreserved = false, bool toUtf8 = false) noexcept;

}  // namespace quenlark
