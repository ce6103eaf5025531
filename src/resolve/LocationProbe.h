// The worker behind Quenlark_Location: the Location value of a URL's response.
#pragma once

#include "runtime/Owned.h"

namespace quenlark {

[[nodiscard]] OwnedText LocationProbe(const char* url) noexcept;

}  // namespace quenlark
