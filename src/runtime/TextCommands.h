// The runtime's text commands that the library uses: search, replace, split and the pieces
// of a text. Texts are code page 936 byte strings; positions are 1-based byte positions; null
// is accepted everywhere as "". Every result is a new block owned by the caller (or null for
// the empty text); arguments are never changed. The text commands that no export uses are in
// runtime/commands/TextCommands.h.
//
// Searches step whole characters (a byte 0x81..0xFE leads a two-byte character; 0x80 and
// 0xFF are single) and match only at character boundaries. The piece commands (TextLeft,
// TextRight, TextMiddle) count raw bytes and may cut a character in two.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/Owned.h"

namespace quenlark {

// Position of the first match of `sub` at or after `start` (moved to the next character
// boundary), or -1. An empty sub matches at 1 in any non-empty text.
[[nodiscard]] std::int32_t FindText(const char* text, const char* sub, std::optional<std::int32_t> start = std::nullopt,
                                    bool ignoreCase = false) noexcept;

// Position of the last match that begins at or before start - length(sub) (no start: the
// last match anywhere), or -1. Candidates step back byte by byte.
[[nodiscard]] std::int32_t FindTextReverse(const char* text, const char* sub,
                                           std::optional<std::int32_t> start = std::nullopt,
                                           bool ignoreCase = false) noexcept;

struct ReplaceOptions {
    const char* replacement = nullptr;    // null or "": the matches are removed
    std::optional<std::int32_t> start{};  // first position searched; default 1
    std::optional<std::int32_t> count{};  // at most this many replacements; default all
    bool caseSensitive = false;
};
// A copy of `text` with the non-overlapping matches of `find` replaced. Null for an empty
// text; an allocated "" when every byte was replaced by nothing.
[[nodiscard]] OwnedText ReplaceSubText(const char* text, const char* find, const ReplaceOptions& options = {}) noexcept;

// Splits at every exact match of the separator (default ","; a given null separator is empty
// and gives the whole text as one element). Empty pieces between separators stay (as null
// elements); a trailing separator adds none. With `count` at most that many elements; the
// remainder is dropped. An empty text or count <= 0 gives an empty array.
[[nodiscard]] OwnedTextArray SplitText(const char* text, std::optional<const char*> separator = std::nullopt,
                                       std::optional<std::int32_t> count = std::nullopt) noexcept;

[[nodiscard]] OwnedText TextLeft(const char* text, std::int32_t n) noexcept;
[[nodiscard]] OwnedText TextRight(const char* text, std::int32_t n) noexcept;
[[nodiscard]] OwnedText TextMiddle(const char* text, std::int32_t start, std::int32_t n) noexcept;

// True when both are non-empty and `text` begins with `prefix` (exact bytes).
[[nodiscard]] bool TextStartsWith(const char* text, const char* prefix) noexcept;

}  // namespace quenlark
