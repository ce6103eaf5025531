// The two exported functions and the shutdown hook that releases their kept results.
#pragma once

// The exports are declared by the header the hosts include, defined here rather than imported:
// a definition that strays from a declaration there fails the build.
#define QUENLARK_API
#include "quenlark.h"

namespace quenlark {

// Releases the result of Quenlark_Location, then that of HttpGetUrl.
void ReleaseResults() noexcept;

}  // namespace quenlark
