// The library's one conversion between code pages and UTF-16; every other conversion is a line
// over it. A conversion measures its output, has the output's storage made once at that exact
// size, and fills it. It never ends the process: it says how it went, and the caller's layer
// decides what a failure means.
//
// The contract of every function here:
//   - kOk: the output holds the whole converted text (nothing for the empty input);
//   - kOutOfMemory: the output's storage could not be had;
//   - kTooLong: the input or the output is longer than an int counts (the system's conversions
//     take int lengths), or longer than the limit the caller gave;
//   - kUnknownCodePage: the system has no conversion for that code page, or refused the text.
// Outputs are written only on kOk; string outputs are left empty otherwise. Bytes that the code
// page cannot decode become U+FFFD, characters it cannot encode become "?" (flags 0).
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quenlark {

// The code page of the library's texts, whatever the system's ANSI code page is.
inline constexpr std::uint32_t kCodePage936 = 936;
inline constexpr std::uint32_t kCodePageUtf8 = 65001;

enum class ConversionResult : std::uint8_t { kOk, kOutOfMemory, kTooLong, kUnknownCodePage };

// The longest input and output, in bytes or UTF-16 units: a caller whose storage holds less
// says so, and a test gives small ones rather than texts of gigabytes.
struct ConversionLimits {
    std::size_t maxInput = INT_MAX;
    std::size_t maxOutput = INT_MAX;
};

// The measuring and filling steps (CodePages.cpp). A fill writes exactly the measured count.
[[nodiscard]] ConversionResult MeasureToUtf16(std::uint32_t codePage, std::string_view in,
                                              const ConversionLimits& limits, std::size_t& units) noexcept;
[[nodiscard]] ConversionResult FillToUtf16(std::uint32_t codePage, std::string_view in, char16_t* out,
                                           std::size_t units) noexcept;
[[nodiscard]] ConversionResult MeasureFromUtf16(std::uint32_t codePage, std::u16string_view in,
                                                const ConversionLimits& limits, std::size_t& bytes) noexcept;
[[nodiscard]] ConversionResult FillFromUtf16(std::uint32_t codePage, std::u16string_view in, char* out,
                                             std::size_t bytes) noexcept;

namespace code_pages {

// Measures, asks `room` for storage of the measured size, fills it.
template <typename Out, typename In, typename Room>
[[nodiscard]] ConversionResult MeasureAndFill(ConversionResult (*measure)(std::uint32_t, In, const ConversionLimits&,
                                                                          std::size_t&) noexcept,
                                              ConversionResult (*fill)(std::uint32_t, In, Out*, std::size_t) noexcept,
                                              std::uint32_t codePage, In in, Room& room,
                                              const ConversionLimits& limits) noexcept {
    std::size_t size = 0;
    const ConversionResult measured = measure(codePage, in, limits, size);
    if (measured != ConversionResult::kOk || size == 0) return measured;
    Out* out = room(size);
    return out ? fill(codePage, in, out, size) : ConversionResult::kOutOfMemory;
}

}  // namespace code_pages

// Decodes `in` into the storage that `room(units)` gives: it is called once, with the exact
// count (never for the empty input), and returns room for that many units or null when it
// cannot have it.
template <typename Room>
[[nodiscard]] ConversionResult ToUtf16With(std::uint32_t codePage, std::string_view in, Room&& room,
                                           const ConversionLimits& limits = {}) noexcept {
    return code_pages::MeasureAndFill<char16_t>(&MeasureToUtf16, &FillToUtf16, codePage, in, room, limits);
}

// Encodes `in` into the storage that `room(bytes)` gives, as ToUtf16With does.
template <typename Room>
[[nodiscard]] ConversionResult FromUtf16With(std::uint32_t codePage, std::u16string_view in, Room&& room,
                                             const ConversionLimits& limits = {}) noexcept {
    return code_pages::MeasureAndFill<char>(&MeasureFromUtf16, &FillFromUtf16, codePage, in, room, limits);
}

// Into a string of 16-bit units (std::u16string; std::wstring where wchar_t is 16 bits).
template <typename String>
requires(sizeof(typename String::value_type) == sizeof(char16_t)) [[nodiscard]] ConversionResult
    ToUtf16(std::uint32_t codePage, std::string_view in, String& out, const ConversionLimits& limits = {}) noexcept {
    out.clear();
    const ConversionResult result = ToUtf16With(
        codePage, in,
        [&out](std::size_t units) noexcept -> char16_t* {
            try {
                out.resize(units);
            } catch (...) {  // std::bad_alloc, or std::length_error past what a string holds
                return nullptr;
            }
            return reinterpret_cast<char16_t*>(out.data());
        },
        limits);
    if (result != ConversionResult::kOk) out.clear();
    return result;
}

}  // namespace quenlark
