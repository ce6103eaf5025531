// The length of a text as the program's 32-bit positions count it.
#pragma once

#include <cstdint>

#include "runtime/Values.h"

namespace quenlark {

[[nodiscard]] inline std::int32_t TextByteLength(const char* text) noexcept {
    return static_cast<std::int32_t>(TextLength(text));
}

}  // namespace quenlark
