#include "text/Markers.h"

#include "runtime/TextCommands.h"
#include "runtime/TextSearch.h"
#include "runtime/Texts.h"

namespace quenlark {

namespace {

constexpr char kQuotePlaceholder[] = "#引号";

// The offset of a start given as a 1-based position: starts of 1 and below mean the beginning.
std::size_t Offset(std::optional<std::int32_t> start) noexcept {
    return start && *start > 1 ? static_cast<std::size_t>(*start - 1) : 0;
}

}  // namespace

std::optional<std::string_view> FindBetween(std::string_view text, std::string_view left, std::string_view right,
                                            bool ignoreCase, std::size_t from) noexcept {
    const std::size_t found = FindInText(text, left, from, ignoreCase);
    if (found == kNoMatch) return std::nullopt;
    const std::size_t valueStart = found + left.size();
    if (right.empty()) return text.substr(valueStart, 0);
    const std::size_t valueEnd = FindInText(text, right, valueStart, ignoreCase);
    if (valueEnd == kNoMatch) return std::nullopt;
    return text.substr(valueStart, valueEnd - valueStart);
}

std::string_view QuotesExpanded(const char* marker, OwnedText& storage) noexcept {
    const std::string_view text = TextView(marker);
    if (FindInText(text, kQuotePlaceholder) == kNoMatch) return text;
    storage = ReplaceSubText(marker, kQuotePlaceholder, {.replacement = "\"", .caseSensitive = true});
    return storage.view();
}

OwnedText TextBetween(const char* text, const char* left, const char* right, std::optional<std::int32_t> start,
                      bool ignoreCase) noexcept {
    OwnedText leftStorage, rightStorage;
    const std::string_view leftMarker = QuotesExpanded(left, leftStorage);
    const std::string_view rightMarker = QuotesExpanded(right, rightStorage);
    // An empty left marker stands at the beginning, wherever the search starts (as FindText has it).
    const std::size_t from = leftMarker.empty() ? 0 : Offset(start);
    const std::optional<std::string_view> value =
        FindBetween(TextView(text), leftMarker, rightMarker, ignoreCase, from);
    if (!value) return OwnedText::StaticEmpty();
    return OwnedText::CopyOrNull(*value);
}

OwnedText TextBefore(const char* text, const char* marker, std::optional<std::int32_t> start,
                     bool ignoreCase) noexcept {
    std::int32_t found;
    if (start && *start < 0) {
        // A negative start looks backwards, leaving out that many bytes at the end.
        found = FindTextReverse(text, marker, static_cast<std::int32_t>(TextLength(text)) + *start + 1, ignoreCase);
    } else {
        found = FindText(text, marker, start && *start > 0 ? *start : 1, ignoreCase);
    }
    if (found == -1) return OwnedText::StaticEmpty();
    return TextLeft(text, found - 1);
}

OwnedText TextAfter(const char* text, const char* marker, std::optional<std::int32_t> start, bool ignoreCase) noexcept {
    const auto length = static_cast<std::int32_t>(TextLength(text));
    std::int32_t found;
    if (start && *start < 0) {
        // A negative start searches forwards from that position.
        found = FindText(text, marker, -*start, ignoreCase);
    } else {
        // The last occurrence that lies within the text less `start` bytes at its end; one
        // that ends on the last byte counts.
        found = FindTextReverse(text, marker, length - start.value_or(0) + 1, ignoreCase);
    }
    if (found == -1) return OwnedText::StaticEmpty();
    return TextRight(text, length - static_cast<std::int32_t>(TextLength(marker)) - found + 1);
}

}  // namespace quenlark
