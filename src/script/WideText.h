// The two conversions through which texts cross into and out of automation objects. Both use
// code page 936 explicitly: the system's ANSI code page may be another one (1252 on many
// machines), and the program's texts are code page 936 whatever the system says.
#pragma once

#include <cstddef>
#include <string_view>

#include "runtime/Owned.h"
#include "script/ComOwners.h"

namespace quenlark {

inline constexpr UINT kTextCodePage = 936;

// A new BSTR of the text; the empty text gives no string (null).
[[nodiscard]] UniqueBstr TextToWide(const char* text) noexcept;

// A new Text (RtAlloc) of the UTF-16 string up to its first NUL; no string or an empty one
// gives the empty Text (null). Characters without a code page 936 form become "?".
[[nodiscard]] OwnedText WideToText(std::wstring_view wide) noexcept;

// The whole BSTR as a view (a null BSTR is the empty string).
[[nodiscard]] inline std::wstring_view BstrView(BSTR s) noexcept {
    return s ? std::wstring_view(s, ::SysStringLen(s)) : std::wstring_view();
}

// Bytes that the first `units` UTF-16 units of `wide` take in code page 936: how a position
// counted by a wide-character engine maps onto the byte positions of the program's texts.
[[nodiscard]] std::size_t TextBytesOfWidePrefix(std::wstring_view wide, std::size_t units) noexcept;

}  // namespace quenlark
