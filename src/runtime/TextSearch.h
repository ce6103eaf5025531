// Substring search on views, under the text commands and every path of the library that reads
// a text without copying it: byte occurrences of a needle (exact, or with ASCII letters folded
// on every byte), the code page 936 character boundaries that decide which occurrences count,
// the pieces between separators and the spaces at a text's ends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/UniqueResource.h"
#include "runtime/Memory.h"

namespace quenlark {

inline constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);

// Case folding: A..Z to a..z and every other byte to itself (with fold false: identity).
constexpr std::array<unsigned char, 256> MakeByteTable(bool fold) {
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(fold && b >= 'A' && b <= 'Z' ? b + 32 : b);
    return table;
}
inline constexpr std::array<unsigned char, 256> kFoldTable = MakeByteTable(true);

// Code page 936 lead bytes are 0x81..0xFE; 0x80 (the euro sign) and 0xFF stand alone.
[[nodiscard]] constexpr bool IsLeadByte(unsigned char byte) noexcept { return byte >= 0x81 && byte <= 0xFE; }

// Length of the character at `at`: 2 at a lead byte that has a byte after it, else 1.
[[nodiscard]] inline std::size_t CharLengthAt(std::string_view text, std::size_t at) noexcept {
    return IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// True when `at` is reached by stepping whole characters from `known`, itself a boundary
// at or before `at`. Only the run of lead bytes just before `at` is read: the byte after any
// other byte (a single character or a trail byte) always starts a character.
[[nodiscard]] bool IsCharBoundary(std::string_view text, std::size_t known, std::size_t at) noexcept;

// Finds every occurrence of a needle in a text, overlapping ones included, in linear time:
// a vector scan on the needle's first and last byte with a check of the bytes between; when
// the checks cost more than the scan (periodic needles), it continues as Knuth-Morris-Pratt.
class ByteMatcher {
public:
    ByteMatcher(std::string_view text, std::string_view needle, bool ignoreCase) noexcept;

    // Start of the next occurrence at or after the cursor, or kNoMatch; the cursor then
    // stands just after that start. The needle must not be empty.
    [[nodiscard]] std::size_t Next() noexcept;
    // Continues from `position`, forgetting any partial match.
    void Seek(std::size_t position) noexcept;

    // The next occurrence that begins at a character boundary; `known` is a boundary at or
    // before the cursor (a boundary match moves nothing else: callers Seek past it).
    [[nodiscard]] std::size_t NextAtBoundary(std::size_t known) noexcept;

private:
    // Where a scan for candidates stands.
    struct Scan {
        std::size_t next;     // the next candidate start to look at
        std::size_t counted;  // bytes before this are in scanned_
        std::size_t found = kNoMatch;
    };
    [[nodiscard]] std::size_t ScanNext() noexcept;
    // A candidate has its first and last byte in place. True when the search ends there: at a
    // match, or by handing the rest to Knuth-Morris-Pratt; `scan.found` then holds the outcome.
    [[nodiscard]] bool Settle(std::size_t at, Scan& scan) noexcept;
    // The vector part of the scan (SSE2 builds): true when it ended the search.
    template <bool kFolding>
    [[nodiscard]] bool ScanBlocks(Scan& scan, std::size_t lastStart) noexcept;
    [[nodiscard]] std::size_t KmpNext() noexcept;
    [[nodiscard]] bool Verify(std::size_t at) noexcept;
    [[nodiscard]] bool SwitchToKmp() noexcept;

    const unsigned char* text_;
    std::size_t size_;
    const unsigned char* needle_;
    std::size_t length_;
    const unsigned char* fold_;  // identity table for exact matching
    std::size_t cursor_ = 0;
    // Kept work figures decide when the scan gives way to Knuth-Morris-Pratt.
    std::size_t scanned_ = 0;
    std::size_t checked_ = 0;
    UniqueResource<std::size_t*, &RtFree> failure_;  // Knuth-Morris-Pratt table, once switched
    std::size_t state_ = 0;                          // matched needle bytes ending at the cursor
};

// The first character boundary at or after `offset`; kNoMatch when the text ends first.
[[nodiscard]] std::size_t BoundaryAtOrAfter(std::string_view text, std::size_t offset) noexcept;

// The first occurrence of `needle` that begins at a character boundary at or after `from` (moved
// to the next boundary when it stands inside a character), or kNoMatch. An empty needle is found
// at that boundary.
[[nodiscard]] std::size_t FindInText(std::string_view text, std::string_view needle, std::size_t from = 0,
                                     bool ignoreCase = false) noexcept;

// The pieces of a text between the exact occurrences of a separator at character boundaries, as
// views, in order: empty pieces between separators count, a separator at the very end adds none,
// the empty text has none, and an empty separator gives the whole text as one piece.
class TextPieces {
public:
    TextPieces(std::string_view text, std::string_view separator) noexcept
        : text_(text), separator_(separator), matcher_(text, separator, false) {}
    // The next piece; false after the last.
    [[nodiscard]] bool Next(std::string_view& piece) noexcept;

private:
    std::string_view text_;
    std::string_view separator_;
    ByteMatcher matcher_;
    std::size_t start_ = 0;  // where the next piece begins
};

// Bytes of the space at `at`: 1 for an ASCII space (0x20), 2 for a full-width one (A1 A1), 0 for
// anything else.
[[nodiscard]] std::size_t SpaceLengthAt(std::string_view text, std::size_t at) noexcept;
// The text without the spaces at its ends (stepping whole characters).
[[nodiscard]] std::string_view TrimSpacesView(std::string_view text) noexcept;

}  // namespace quenlark
