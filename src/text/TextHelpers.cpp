#include "text/TextHelpers.h"

#include <climits>
#include <cstring>
#include <memory>

#include "platform/Platform.h"
#include "runtime/ByteSets.h"
#include "runtime/Memory.h"
#include "runtime/TextCommands.h"
#include "runtime/Values.h"

namespace quenlark {

namespace {

constexpr std::uint32_t kCodePageUtf8 = 65001;
constexpr std::uint32_t kCodePage936 = 936;

// "#引号" in a marker stands for a double quote, so callers can write one inside a marker.
OwnedText ExpandQuotePlaceholder(const char* marker) {
    return ReplaceSubText(marker, "#引号", {.replacement = "\"", .caseSensitive = true});
}

// UTF-16 units that a byte-set can hold: its length is a signed 32-bit byte count.
constexpr std::size_t kMaxByteSetUnits = INT32_MAX / 2;

struct HeapFree {
    void operator()(void* block) const noexcept { RtFree(block); }
};

OwnedText UnitsToText(const char16_t* units, std::size_t count, std::uint32_t codePage) noexcept {
    if (count == 0) return {};
    const std::size_t bytes = platform::EncodeFromUtf16(codePage, units, count, nullptr, 0);
    if (bytes == 0) return {};
    auto* block = static_cast<char*>(RtAllocRaw(bytes + 1));
    platform::EncodeFromUtf16(codePage, units, count, block, bytes);
    block[bytes] = '\0';
    return OwnedText::Adopt(block);
}

// From one code page to another through UTF-16 held in a plain block: every size is a
// size_t, so a text over 1 GiB (over 2 GiB of UTF-16) converts like any other.
OwnedText Recode(const char* text, std::uint32_t from, std::uint32_t to) noexcept {
    const std::size_t length = TextLength(text);
    if (length == 0) return {};
    const std::size_t units = platform::DecodeToUtf16(from, text, length, nullptr, 0);
    if (units == 0) return {};
    const std::unique_ptr<char16_t, HeapFree> wide(static_cast<char16_t*>(RtAllocRaw(units * sizeof(char16_t))));
    if (platform::DecodeToUtf16(from, text, length, wide.get(), units) != units) return {};
    return UnitsToText(wide.get(), units, to);
}

}  // namespace

OwnedText TextBetween(const char* text, const char* left, const char* right, std::optional<std::int32_t> start,
                      bool ignoreCase) noexcept {
    const OwnedText leftMarker = ExpandQuotePlaceholder(left);
    const OwnedText rightMarker = ExpandQuotePlaceholder(right);
    const std::int32_t found = FindText(text, leftMarker.c_str(), start, ignoreCase);
    if (found == -1) return OwnedText::StaticEmpty();
    const std::int32_t valueStart = found + TextByteLength(leftMarker.get());
    const std::int32_t valueEnd = FindText(text, rightMarker.c_str(), valueStart, ignoreCase);
    if (valueEnd == -1) return OwnedText::StaticEmpty();
    return TextMiddle(text, valueStart, valueEnd - valueStart);
}

OwnedText TextBefore(const char* text, const char* marker, std::optional<std::int32_t> start,
                     bool ignoreCase) noexcept {
    std::int32_t found;
    if (start && *start < 0) {
        // A negative start looks backwards, leaving out that many bytes at the end.
        found = FindTextReverse(text, marker, TextByteLength(text) + *start + 1, ignoreCase);
    } else {
        found = FindText(text, marker, start && *start > 0 ? *start : 1, ignoreCase);
    }
    if (found == -1) return OwnedText::StaticEmpty();
    return TextLeft(text, found - 1);
}

OwnedText TextAfter(const char* text, const char* marker, std::optional<std::int32_t> start, bool ignoreCase) noexcept {
    const std::int32_t length = TextByteLength(text);
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
    return TextRight(text, length - TextByteLength(marker) - found + 1);
}

OwnedText ReplacePairs(const char* text, std::initializer_list<ReplacePair> pairs,
                       const ReplacePairsOptions& options) noexcept {
    OwnedText result = text ? OwnedText::CopyOf(text) : OwnedText();
    std::optional<std::int32_t> start = options.start;
    if (start && *start == 0) start = 1;
    int applied = 0;
    for (const ReplacePair& pair : pairs) {
        if (++applied > 5) break;  // five pairs at the most
        if (!pair.find || !*pair.find) continue;
        result = ReplaceSubText(result.get(), pair.find,
                                {.replacement = pair.replacement,
                                 .start = start,
                                 .count = options.count,
                                 .caseSensitive = options.caseSensitive});
    }
    return result;
}

OwnedByteSet MultiByteToUtf16(const char* text, std::uint32_t codePage) noexcept {
    const char* source = text ? text : "";
    const std::size_t length = std::strlen(source) + 1;  // the NUL gives the terminating unit
    // Sized by the code page that converts: sizing by the system's ANSI code page made Chinese
    // texts fail or come out cut wherever that code page is not 936.
    const std::size_t units = platform::DecodeToUtf16(codePage, source, length, nullptr, 0);
    // A byte-set counts its bytes in 32 bits: more units than that cannot be held in one.
    if (units == 0 || units > kMaxByteSetUnits) return {};
    OwnedByteSet block = BlankByteSet(static_cast<std::int32_t>(units * 2));
    auto* out = reinterpret_cast<char16_t*>(ByteSetDataAddress(reinterpret_cast<void* const*>(&block)));
    platform::DecodeToUtf16(codePage, source, length, out, units);
    return block;
}

OwnedText Utf16ToMultiByte(const void* units, std::uint32_t codePage) noexcept {
    // Up to the first zero unit, and never beyond the byte-set (a heap block, so its units
    // are aligned).
    const std::int32_t size = ByteSetSize(units);
    if (size <= 0) return {};
    const auto* source = reinterpret_cast<const char16_t*>(ByteSetBytes(units));
    const std::size_t available = static_cast<std::size_t>(size) / 2;
    std::size_t count = 0;
    while (count < available && source[count] != u'\0') ++count;
    return UnitsToText(source, count, codePage);
}

OwnedText Utf8ToAnsi(const char* utf8) noexcept { return Recode(utf8, kCodePageUtf8, kCodePage936); }

OwnedText AnsiToUtf8(const char* text) noexcept { return Recode(text, kCodePage936, kCodePageUtf8); }

std::int32_t TextByteLength(const char* text) noexcept { return static_cast<std::int32_t>(TextLength(text)); }

}  // namespace quenlark
