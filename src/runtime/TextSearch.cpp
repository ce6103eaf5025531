#include "runtime/TextSearch.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/Memory.h"

namespace quenlark {

namespace {

constexpr std::array<unsigned char, 256> kIdentity = MakeByteTable(false);

// Checking candidates may cost this many times the bytes scanned (plus a start allowance)
// before the matcher switches to Knuth-Morris-Pratt, which never looks back.
constexpr std::size_t kCheckFactor = 4;
constexpr std::size_t kCheckAllowance = 4096;

#if defined(__SSE2__)
// A..Z to a..z in all 16 lanes: the shift puts 'A'..'Z' at the bottom of the signed range.
inline __m128i FoldLanes(__m128i v) {
    const __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(0x80 - 'A'));
    const __m128i upper = _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + 26)));
    return _mm_or_si128(v, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
}
#endif

}  // namespace

bool IsCharBoundary(std::string_view text, std::size_t known, std::size_t at) noexcept {
    std::size_t runStart = at;
    while (runStart > known && IsLeadByte(static_cast<unsigned char>(text[runStart - 1]))) --runStart;
    // Every byte of the run leads a character or trails the one before it, in pairs.
    return ((at - runStart) & 1) == 0;
}

ByteMatcher::ByteMatcher(std::string_view text, std::string_view needle, bool ignoreCase) noexcept
    : text_(reinterpret_cast<const unsigned char*>(text.data())),
      size_(text.size()),
      needle_(reinterpret_cast<const unsigned char*>(needle.data())),
      length_(needle.size()),
      fold_(ignoreCase ? kFoldTable.data() : kIdentity.data()) {}

void ByteMatcher::Seek(std::size_t position) noexcept {
    if (position > cursor_) scanned_ += position - cursor_;
    cursor_ = position;
    state_ = 0;
}

std::size_t ByteMatcher::Next() noexcept { return failure_ ? KmpNext() : ScanNext(); }

std::size_t ByteMatcher::NextAtBoundary(std::size_t known) noexcept {
    const std::string_view text(reinterpret_cast<const char*>(text_), size_);
    for (;;) {
        const std::size_t at = Next();
        if (at == kNoMatch || IsCharBoundary(text, known, at)) return at;
        known = at + 1;  // `at` is a trail byte, so a character starts after it
    }
}

bool ByteMatcher::Verify(std::size_t at) noexcept {
    // The first and last bytes already matched.
    checked_ += length_;
    if (length_ <= 2) return true;
    const unsigned char* t = text_ + at;
    if (fold_ == kIdentity.data()) return std::memcmp(t + 1, needle_ + 1, length_ - 2) == 0;
    for (std::size_t k = 1; k + 1 < length_; ++k) {
        if (fold_[t[k]] != fold_[needle_[k]]) return false;
    }
    return true;
}

bool ByteMatcher::SwitchToKmp() noexcept {
    if (checked_ <= kCheckFactor * scanned_ + kCheckAllowance) return false;
    auto* table = static_cast<std::size_t*>(RtAllocRaw(length_ * sizeof(std::size_t)));
    table[0] = 0;
    std::size_t k = 0;
    for (std::size_t q = 1; q < length_; ++q) {
        while (k > 0 && fold_[needle_[q]] != fold_[needle_[k]]) k = table[k - 1];
        if (fold_[needle_[q]] == fold_[needle_[k]]) ++k;
        table[q] = k;
    }
    failure_.Reset(table);
    state_ = 0;
    return true;
}

bool ByteMatcher::Settle(std::size_t at, Scan& scan) noexcept {
    scanned_ += at - scan.counted;
    scan.counted = at;
    cursor_ = at + 1;
    if (Verify(at)) {
        scan.found = at;
        return true;
    }
    if (!SwitchToKmp()) return false;
    scan.found = KmpNext();
    return true;
}

#if defined(__SSE2__)
template <bool kFolding>
bool ByteMatcher::ScanBlocks(Scan& scan, std::size_t lastStart) noexcept {
    const __m128i firstLanes = _mm_set1_epi8(static_cast<char>(fold_[needle_[0]]));
    const __m128i lastLanes = _mm_set1_epi8(static_cast<char>(fold_[needle_[length_ - 1]]));
    // Bit k: candidate at + k has its first and last byte in place.
    auto candidates = [&](std::size_t at) -> std::uint64_t {
        __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_ + at));
        __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_ + at + length_ - 1));
        if constexpr (kFolding) {
            head = FoldLanes(head);
            tail = FoldLanes(tail);
        }
        return static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(head, firstLanes), _mm_cmpeq_epi8(tail, lastLanes))));
    };
    auto settleAll = [&](std::uint64_t mask) {
        for (; mask; mask &= mask - 1) {
            if (Settle(scan.next + static_cast<std::size_t>(__builtin_ctzll(mask)), scan)) return true;
        }
        return false;
    };
    // 64 and then 16 candidates at a time while all of them, and their last bytes, are inside.
    std::size_t& i = scan.next;
    for (; i + 64 <= lastStart + 1; i += 64) {
        const std::uint64_t mask =
            candidates(i) | candidates(i + 16) << 16 | candidates(i + 32) << 32 | candidates(i + 48) << 48;
        if (mask && settleAll(mask)) return true;
    }
    for (; i + 16 <= lastStart + 1; i += 16) {
        if (settleAll(candidates(i))) return true;
    }
    return false;
}
#endif

std::size_t ByteMatcher::ScanNext() noexcept {
    if (length_ > size_ || cursor_ > size_ - length_) return kNoMatch;
    const std::size_t lastStart = size_ - length_;
    const unsigned char first = fold_[needle_[0]];
    const unsigned char last = fold_[needle_[length_ - 1]];
    const bool folding = fold_ == kFoldTable.data();
    Scan scan{cursor_, cursor_};
#if defined(__SSE2__)
    if (folding ? ScanBlocks<true>(scan, lastStart) : ScanBlocks<false>(scan, lastStart)) return scan.found;
#endif
    // The rest, a byte at a time.
    for (std::size_t& i = scan.next; i <= lastStart; ++i) {
        if (!folding) {
            const void* hit = std::memchr(text_ + i, first, lastStart + 1 - i);
            if (!hit) break;
            i = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - text_);
        } else if (fold_[text_[i]] != first) {
            continue;
        }
        if (fold_[text_[i + length_ - 1]] == last && Settle(i, scan)) return scan.found;
    }
    scanned_ += size_ - scan.counted;
    cursor_ = size_;
    return kNoMatch;
}

std::size_t ByteMatcher::KmpNext() noexcept {
    const std::size_t* failure = failure_.Get();
    std::size_t matched = state_;
    for (std::size_t i = cursor_; i < size_; ++i) {
        const unsigned char c = fold_[text_[i]];
        while (matched > 0 && c != fold_[needle_[matched]]) matched = failure[matched - 1];
        if (c == fold_[needle_[matched]]) ++matched;
        if (matched == length_) {
            // Keep the overlap so that the next call finds overlapping occurrences too.
            state_ = failure[matched - 1];
            cursor_ = i + 1;
            return i + 1 - length_;
        }
    }
    state_ = matched;
    cursor_ = size_;
    return kNoMatch;
}

std::size_t BoundaryAtOrAfter(std::string_view text, std::size_t offset) noexcept {
    if (offset >= text.size()) return kNoMatch;
    const std::size_t boundary = IsCharBoundary(text, 0, offset) ? offset : offset + 1;
    return boundary < text.size() ? boundary : kNoMatch;
}

std::size_t FindInText(std::string_view text, std::string_view needle, std::size_t from, bool ignoreCase) noexcept {
    from = BoundaryAtOrAfter(text, from);
    if (from == kNoMatch || needle.empty()) return from;
    ByteMatcher matcher(text, needle, ignoreCase);
    matcher.Seek(from);
    return matcher.NextAtBoundary(from);
}

bool TextPieces::Next(std::string_view& piece) noexcept {
    if (start_ >= text_.size()) return false;
    std::size_t end = text_.size();
    if (!separator_.empty()) {
        const std::size_t at = matcher_.NextAtBoundary(start_);
        if (at != kNoMatch) end = at;
    }
    piece = text_.substr(start_, end - start_);
    start_ = end == text_.size() ? end : end + separator_.size();
    matcher_.Seek(start_);
    return true;
}

std::size_t SpaceLengthAt(std::string_view text, std::size_t at) noexcept {
    constexpr unsigned char kFullWidthSpaceByte = 0xA1;  // a full-width space is A1 A1
    if (text[at] == ' ') return 1;
    return static_cast<unsigned char>(text[at]) == kFullWidthSpaceByte && at + 1 < text.size() &&
                   static_cast<unsigned char>(text[at + 1]) == kFullWidthSpaceByte
               ? 2
               : 0;
}

std::string_view TrimSpacesView(std::string_view text) noexcept {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t space = SpaceLengthAt(text, at);
        if (!space) break;
        at += space;
    }
    const std::size_t first = at;
    std::size_t end = at;
    while (at < text.size()) {
        const std::size_t length = CharLengthAt(text, at);
        if (!SpaceLengthAt(text, at)) end = at + length;
        at += length;
    }
    return text.substr(first, end - first);
}

}  // namespace quenlark
