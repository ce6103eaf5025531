#include "runtime/TextCommands.h"

#include <algorithm>
#include <climits>
#include <string_view>

#include "runtime/PieceList.h"
#include "runtime/TextSearch.h"
#include "runtime/Texts.h"

namespace quenlark {

namespace {

std::int32_t Position(std::size_t offset) noexcept { return static_cast<std::int32_t>(offset + 1); }

// The offset of a start given as a 1-based position: starts of 1 and below mean the beginning.
std::size_t Offset(std::optional<std::int32_t> start) noexcept {
    return start && *start > 1 ? static_cast<std::size_t>(*start - 1) : 0;
}

// The first character boundary at or after a start; kNoMatch when the text ends first.
std::size_t BoundaryFrom(std::string_view text, std::optional<std::int32_t> start) noexcept {
    return BoundaryAtOrAfter(text, Offset(start));
}

}  // namespace

std::int32_t FindText(const char* text, const char* sub, std::optional<std::int32_t> start, bool ignoreCase) noexcept {
    const std::string_view haystack = TextView(text);
    if (haystack.empty() || !sub) return -1;
    if (!*sub) return 1;
    const std::size_t at = FindInText(haystack, sub, Offset(start), ignoreCase);
    return at == kNoMatch ? -1 : Position(at);
}

std::int32_t FindTextReverse(const char* text, const char* sub, std::optional<std::int32_t> start,
                             bool ignoreCase) noexcept {
    const std::string_view haystack = TextView(text);
    if (haystack.empty() || !sub) return -1;
    if (!*sub) return 1;
    if (start && *start <= 0) return -1;
    const std::string_view needle(sub);
    const std::int64_t limit = start ? *start - 1 : INT32_MAX;
    // A match must begin at or before limit - length(sub); none can when that is negative.
    const std::int64_t bound = limit - static_cast<std::int64_t>(needle.size());
    if (bound < 0) return -1;
    // The first candidate is the first character boundary at or after the bound; from there
    // candidates step back byte by byte, so the last byte occurrence up to it wins.
    std::size_t first = haystack.size();
    if (static_cast<std::uint64_t>(bound) < haystack.size()) {
        first = static_cast<std::size_t>(bound);
        if (!IsCharBoundary(haystack, 0, first)) ++first;
    }
    const std::size_t searched = std::min(haystack.size(), first + needle.size());
    ByteMatcher matcher(haystack.substr(0, searched), needle, ignoreCase);
    std::size_t last = kNoMatch;
    for (std::size_t at = matcher.Next(); at != kNoMatch; at = matcher.Next()) last = at;
    return last == kNoMatch ? -1 : Position(last);
}

OwnedText ReplaceSubText(const char* text, const char* find, const ReplaceOptions& options) noexcept {
    const std::string_view source = TextView(text);
    if (source.empty()) return {};
    const std::size_t from = BoundaryFrom(source, options.start);
    const std::string_view needle = TextView(find);
    if (from == kNoMatch || needle.empty() || (options.count && *options.count <= 0)) return OwnedText::CopyOf(source);
    std::int32_t remaining = options.count.value_or(INT32_MAX);
    const std::string_view replacement = TextView(options.replacement);

    PieceList pieces;
    ByteMatcher matcher(source, needle, !options.caseSensitive);
    matcher.Seek(from);
    std::size_t mark = 0;
    for (std::size_t searchFrom = from; remaining > 0; --remaining) {
        const std::size_t at = matcher.NextAtBoundary(searchFrom);
        if (at == kNoMatch) break;
        if (at > mark) pieces.Add(source.data() + mark, at - mark);
        if (!replacement.empty()) pieces.Add(replacement.data(), replacement.size());
        mark = searchFrom = at + needle.size();
        matcher.Seek(searchFrom);
    }
    if (mark < source.size()) pieces.Add(source.data() + mark, source.size() - mark);
    return pieces.Join();
}

OwnedTextArray SplitText(const char* text, std::optional<const char*> separator,
                         std::optional<std::int32_t> count) noexcept {
    if (count && *count <= 0) return OwnedTextArray::NewEmpty();
    const std::string_view source = TextView(text);
    if (source.empty()) return OwnedTextArray::NewEmpty();
    PieceList pieces;
    TextPieces cut(source, separator ? TextView(*separator) : std::string_view(","));
    // A reached count drops the remainder.
    std::string_view piece;
    for (std::int32_t remaining = count.value_or(INT32_MAX); remaining > 0 && cut.Next(piece); --remaining)
        pieces.Add(piece.data(), piece.size());
    return pieces.ToArray();
}

OwnedText TextLeft(const char* text, std::int32_t n) noexcept {
    const std::string_view source = TextView(text);
    if (n <= 0) return {};
    return OwnedText::CopyOrNull(source.substr(0, static_cast<std::size_t>(n)));
}

OwnedText TextRight(const char* text, std::int32_t n) noexcept {
    const std::string_view source = TextView(text);
    if (n <= 0) return {};
    const std::size_t take = std::min(source.size(), static_cast<std::size_t>(n));
    return OwnedText::CopyOrNull(source.substr(source.size() - take));
}

OwnedText TextMiddle(const char* text, std::int32_t start, std::int32_t n) noexcept {
    const std::string_view source = TextView(text);
    if (start <= 0 || n <= 0 || static_cast<std::size_t>(start) > source.size()) return {};
    return OwnedText::CopyOrNull(source.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
}

bool TextStartsWith(const char* text, const char* prefix) noexcept {
    const std::string_view source = TextView(text);
    const std::string_view head = TextView(prefix);
    return !source.empty() && !head.empty() && source.starts_with(head);
}

}  // namespace quenlark
