// Character-set names that pages declare, mapped to the Windows code pages that decode them.
// The names are the labels of the web's encoding standard for the encodings Windows can
// decode; they match without regard to ASCII letter case.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quenlark {

// Code pages without a MultiByteToWideChar table: the two UTF-16 forms are decoded directly.
inline constexpr std::uint32_t kCodePageUtf16Le = 1200;
inline constexpr std::uint32_t kCodePageUtf16Be = 1201;
inline constexpr std::uint32_t kCodePageGb18030 = 54936;
inline constexpr std::uint32_t kCodePageHebrewLogical = 38598;

// The code page for a declared name; nothing for a name that is not a known label.
[[nodiscard]] std::optional<std::uint32_t> CodePageOfCharset(std::string_view name) noexcept;
// The code page for a name declared in a page's meta tag. A page whose meta tag can be read
// byte by byte is ASCII-compatible, which UTF-16 is not: a UTF-16 label there means UTF-8, as
// browsers read it.
[[nodiscard]] std::optional<std::uint32_t> CodePageOfMetaCharset(std::string_view name) noexcept;

}  // namespace quenlark
