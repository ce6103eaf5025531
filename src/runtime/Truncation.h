// How the runtime turns a floating-point value into an integer.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace quenlark {

// Rounds toward zero. Out of range and NaN give INT64_MIN, as the x87 conversion does.
[[nodiscard]] inline std::int64_t TruncateToInt64(double value) noexcept {
    // 2^63 is exactly representable; anything at or beyond it (or NaN) has no integer form.
    constexpr double kLimit = 9223372036854775808.0;
    if (std::isnan(value) || value >= kLimit || value < -kLimit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

}  // namespace quenlark
