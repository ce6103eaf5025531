// The runtime's formatting commands that the exports do not use: any basic value as a 32-bit
// integer, an integer as hexadecimal text, full-width characters as half-width ones. Texts
// are code page 936; the library's own formatting (values as text) is in runtime/Formatting.h.
#pragma once

#include <cstdint>

#include "runtime/Owned.h"
#include "runtime/Value.h"

namespace quenlark {

// The value as a 32-bit integer: low 32 bits of integers, floating values truncated toward
// zero, texts read with atoi after ToHalfWidth; 0 for everything else.
[[nodiscard]] std::int32_t ToInteger(const TypedArg& value) noexcept;

// "%X" of the value read as unsigned 32-bit ("FF", "FFFFFFFF", "0").
[[nodiscard]] OwnedText HexText(std::int32_t value) noexcept;

// Full-width solidus and reverse solidus to "/" and "\", then full-width forms to half-width
// (as LCMapString LCMAP_HALFWIDTH in locale 0x0804 does). Null for an empty text.
[[nodiscard]] OwnedText ToHalfWidth(const char* text) noexcept;

}  // namespace quenlark
