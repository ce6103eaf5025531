// The large texts that the text benchmarks search: lines of about 70 bytes built from words,
// plain ASCII or with double-byte words in about half of their bytes, and the needle only at
// the very end, so that every search reads the whole text.
#pragma once

#include <cstdint>
#include <string>

namespace quenlark::bench {

inline constexpr const char* kNeedle = "Location: /file/x9";
inline constexpr const char* kNeedleLower = "location: /file/x9";

// A text of exactly `size` bytes, made once per size and kind.
const std::string& Text(std::int64_t size, bool mixed);

}  // namespace quenlark::bench
