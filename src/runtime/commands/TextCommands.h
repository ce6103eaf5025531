// The runtime's text commands that the exports do not use: character codes, upper case,
// spaces made, trimmed and removed, and text comparison. Texts are code page 936 byte strings
// as in runtime/TextCommands.h (which holds the text commands the library uses); positions are
// 1-based byte positions; null is accepted everywhere as "". Every result is a new block owned
// by the caller (or null for the empty text); arguments are never changed. The space
// commands and ToUpperText step whole characters, as the searches do.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/Owned.h"

namespace quenlark {

// Without leading and trailing ASCII (0x20) and full-width (A1 A1) spaces; null when nothing
// remains. Tabs and line breaks are not spaces here.
[[nodiscard]] OwnedText TrimSpaces(const char* text) noexcept;
// Every ASCII and full-width space removed; null for an empty text, an allocated "" for a
// text of spaces only.
[[nodiscard]] OwnedText RemoveAllSpaces(const char* text) noexcept;

// exact: -1, 0 or 1 by unsigned byte order (null equals ""); otherwise the sign of a comparison
// that ignores the case of ASCII letters.
[[nodiscard]] std::int32_t CompareText(const char* a, const char* b, bool exact) noexcept;
// The byte at `position` as a signed 8-bit value; 0 outside the text.
[[nodiscard]] std::int32_t CharCodeAt(const char* text, std::optional<std::int32_t> position = std::nullopt) noexcept;
// One-byte text of the low byte of `code`; null when that byte is 0.
[[nodiscard]] OwnedText CharFromCode(std::int32_t code) noexcept;
// a..z upper-cased in single-byte characters only; null for the empty text.
[[nodiscard]] OwnedText ToUpperText(const char* text) noexcept;
// n ASCII spaces; null when n < 1.
[[nodiscard]] OwnedText SpacesText(std::int32_t n) noexcept;

// The variable's character pointer, for handing buffers to system functions.
[[nodiscard]] inline char* TextDataAddress(char* const* variable) noexcept { return *variable; }

}  // namespace quenlark
