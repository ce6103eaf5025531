// Marker-based extraction: the text between two markers, before the first or after the last
// one. Positions are 1-based bytes; searches match at character boundaries (code page 936), as
// FindInText does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/Owned.h"

namespace quenlark {

// The view between the first `left` at or after `from` and the next `right` after it, or
// nothing when either is missing. An empty `right` gives the empty view after `left`. The
// markers are taken as they are (see QuotesExpanded).
[[nodiscard]] std::optional<std::string_view> FindBetween(std::string_view text, std::string_view left,
                                                          std::string_view right, bool ignoreCase = false,
                                                          std::size_t from = 0) noexcept;

// The marker with each "#引号" (at a character boundary) turned into a double quote, so that
// callers can write one inside a marker: the marker itself when it holds none, else a view of
// the expanded text, which `storage` then holds.
[[nodiscard]] std::string_view QuotesExpanded(const char* marker, OwnedText& storage) noexcept;

// The text between the first `left` and the next `right`, the markers' placeholders expanded.
// A missing marker gives the static empty text; an empty value gives null.
[[nodiscard]] OwnedText TextBetween(const char* text, const char* left, const char* right,
                                    std::optional<std::int32_t> start = std::nullopt, bool ignoreCase = false) noexcept;
// The text before the first `marker`; the static empty text when it is absent.
[[nodiscard]] OwnedText TextBefore(const char* text, const char* marker,
                                   std::optional<std::int32_t> start = std::nullopt, bool ignoreCase = false) noexcept;
// The text after the last `marker`; the static empty text when it is absent.
[[nodiscard]] OwnedText TextAfter(const char* text, const char* marker,
                                  std::optional<std::int32_t> start = std::nullopt, bool ignoreCase = false) noexcept;

}  // namespace quenlark
