// Several replacements in one call, each applied to the result of the one before.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "runtime/Owned.h"

namespace quenlark {

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

}  // namespace quenlark
