// Low-level operations that the program's code performs on values: text length,
// concatenation and comparison, byte-set concatenation, array helpers, numeric truncation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "runtime/Owned.h"
#include "runtime/Value.h"

namespace quenlark {

// Bytes before the NUL; 0 for null.
[[nodiscard]] std::size_t TextLength(const char* text) noexcept;
// The text's bytes; null is the empty view.
[[nodiscard]] inline std::string_view TextView(const char* text) noexcept {
    return {text ? text : "", TextLength(text)};
}

// A new text of the parts in order (null parts are empty). Always allocates, so an all-empty
// concatenation gives an allocated "" rather than null.
[[nodiscard]] OwnedText ConcatTexts(std::initializer_list<const char*> parts) noexcept;

// -1, 0 or 1 by unsigned byte order; null equals "".
[[nodiscard]] int CompareTexts(const char* a, const char* b) noexcept;

// A new byte-set of the parts in order; null when the total is 0.
[[nodiscard]] OwnedByteSet ConcatByteSets(std::initializer_list<const void*> parts) noexcept;

// -1, 0 or 1 by unsigned byte order over n bytes; 0 for n == 0.
[[nodiscard]] int CompareBytes(const void* a, const void* b, std::size_t n) noexcept;

// Rounds toward zero. Out of range and NaN give INT64_MIN, as the x87 conversion does.
[[nodiscard]] std::int64_t TruncateToInt64(double value) noexcept;

// Address of the first data byte of a byte-set variable, or null.
[[nodiscard]] inline unsigned char* ByteSetDataAddress(void* const* variable) noexcept {
    return *variable ? static_cast<unsigned char*>(*variable) + kByteSetHeader : nullptr;
}
// The variable's character pointer, for handing buffers to system functions.
[[nodiscard]] inline char* TextDataAddress(char* const* variable) noexcept { return *variable; }

}  // namespace quenlark
