#include "platform/CodePages.h"

#include "platform/Platform.h"

namespace quenlark {

namespace {

// The checks around a size query of the system: the input's length before it, what it gave after.
template <typename Query>
ConversionResult Measure(std::size_t inputLength, const ConversionLimits& limits, Query query,
                         std::size_t& size) noexcept {
    size = 0;
    if (inputLength == 0) return ConversionResult::kOk;
    if (inputLength > limits.maxInput || inputLength > INT_MAX) return ConversionResult::kTooLong;
    const std::size_t needed = query();
    if (needed == 0) return ConversionResult::kUnknownCodePage;
    if (needed > limits.maxOutput || needed > INT_MAX) return ConversionResult::kTooLong;
    size = needed;
    return ConversionResult::kOk;
}

// A fill gives the measured count, unless the system changed its mind about the text.
ConversionResult Filled(std::size_t written, std::size_t measured) noexcept {
    return written == measured ? ConversionResult::kOk : ConversionResult::kUnknownCodePage;
}

}  // namespace

ConversionResult MeasureToUtf16(std::uint32_t codePage, std::string_view in, const ConversionLimits& limits,
                                std::size_t& units) noexcept {
    return Measure(
        in.size(), limits, [&] { return platform::DecodeToUtf16(codePage, in.data(), in.size(), nullptr, 0); }, units);
}

ConversionResult FillToUtf16(std::uint32_t codePage, std::string_view in, char16_t* out, std::size_t units) noexcept {
    return Filled(platform::DecodeToUtf16(codePage, in.data(), in.size(), out, units), units);
}

ConversionResult MeasureFromUtf16(std::uint32_t codePage, std::u16string_view in, const ConversionLimits& limits,
                                  std::size_t& bytes) noexcept {
    return Measure(
        in.size(), limits, [&] { return platform::EncodeFromUtf16(codePage, in.data(), in.size(), nullptr, 0); },
        bytes);
}

ConversionResult FillFromUtf16(std::uint32_t codePage, std::u16string_view in, char* out, std::size_t bytes) noexcept {
    return Filled(platform::EncodeFromUtf16(codePage, in.data(), in.size(), out, bytes), bytes);
}

}  // namespace quenlark
