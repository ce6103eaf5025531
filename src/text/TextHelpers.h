// Marker-based extraction, multi-pair replacement and the conversions between code page 936,
// UTF-16 and UTF-8. Positions are 1-based bytes; searches step over double-byte characters.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "runtime/Owned.h"

namespace quenlark {

// The text between the first `left` and the next `right` ("#引号" in a marker stands for a
// double quote). A missing marker gives the static empty text; an empty value gives null.
[[nodiscard]] OwnedText TextBetween(const char* text, const char* left, const char* right,
                                    std::optional<std::int32_t> start = std::nullopt, bool ignoreCase = false) noexcept;
// The text before the first `marker`; the static empty text when it is absent.
[[nodiscard]] OwnedText TextBefore(const char* text, const char* marker,
                                   std::optional<std::int32_t> start = std::nullopt, bool ignoreCase = false) noexcept;
// The text after the last `marker`; the static empty text when it is absent.
[[nodiscard]] OwnedText TextAfter(const char* text, const char* marker,
                                  std::optional<std::int32_t> start = std::nullopt, bool ignoreCase = false) noexcept;

struct ReplacePair {
    const char* find = nullptr;  // null or "": the pair changes nothing
    const char* replacement = nullptr;
};
struct ReplacePairsOptions {
    std::optional<std::int32_t> count{};  // default: all
    std::optional<std::int32_t> start{};  // default 1; 0 is taken as 1
    bool caseSensitive = false;
};
// Up to five pairs, applied in turn, each to the result of the one before.
[[nodiscard]] OwnedText ReplacePairs(const char* text, std::initializer_list<ReplacePair> pairs,
                                     const ReplacePairsOptions& options = {}) noexcept;

// UTF-16 code units with a terminating zero unit, as a byte-set.
[[nodiscard]] OwnedByteSet MultiByteToUtf16(const char* text, std::uint32_t codePage = 65001) noexcept;
// The units (a byte-set as MultiByteToUtf16 gives) in `codePage` (0: the system ANSI code page),
// up to the first NUL.
[[nodiscard]] OwnedText Utf16ToMultiByte(const void* units, std::uint32_t codePage = 0) noexcept;
[[nodiscard]] OwnedText Utf8ToAnsi(const char* utf8) noexcept;
[[nodiscard]] OwnedText AnsiToUtf8(const char* text) noexcept;
[[nodiscard]] std::int32_t TextByteLength(const char* text) noexcept;

}  // namespace quenlark
