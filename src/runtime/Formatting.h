// Values of any basic type as text, and the text forms that takes: fixed-point numbers
// without trailing zeros, dates. Truth values and date words are Chinese; texts are code page
// 936. Values as integers, hexadecimal and half-width texts, which no export uses, are in
// runtime/commands/Formatting.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/Owned.h"
#include "runtime/Value.h"

namespace quenlark {

// A new text of the value by the formatting rules; null for an empty result and for types
// without a text form (objects, variants). Byte-sets and numeric arrays (TC_BYREF) give their
// bytes up to the first zero byte.
[[nodiscard]] OwnedText ToText(const TypedArg& value) noexcept;

// "1.500000" -> "1.5", "2.000000" -> "2": for output of "%f" only (which has a point).
void TrimTrailingZeros(char* formatted) noexcept;

// "%d年%d月%d日", then unless dateOnly the time by its smallest non-zero unit
// ("%d时%d分%d秒", "%d时%d分", "%d时" or nothing). Writes at most size bytes with the NUL;
// an empty text for NaN, infinities and day counts beyond 32 bits.
void DateTimeToText(char* buffer, std::size_t size, double value, bool dateOnly) noexcept;

}  // namespace quenlark
