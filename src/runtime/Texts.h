// Text values as the program's code handles them: their length (as a size, and as the 32-bit
// count that the commands' 1-based positions use), their bytes as a view, and concatenation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "runtime/Owned.h"

namespace quenlark {

// Bytes before the NUL; 0 for null.
[[nodiscard]] std::size_t TextLength(const char* text) noexcept;
// The same length as the commands count positions: a 32-bit integer.
[[nodiscard]] inline std::int32_t TextLength32(const char* text) noexcept {
    return static_cast<std::int32_t>(TextLength(text));
}
// The text's bytes; null is the empty view.
[[nodiscard]] inline std::string_view TextView(const char* text) noexcept {
    return {text ? text : "", TextLength(text)};
}

// A new text of the parts in order (null parts are empty). Always allocates, so an all-empty
// concatenation gives an allocated "" rather than null.
[[nodiscard]] OwnedText ConcatTexts(std::initializer_list<const char*> parts) noexcept;

}  // namespace quenlark
