#include "resolve/FrameSearch.h"

#include <algorithm>

#include "runtime/TextSearch.h"

namespace quenlark {

namespace {

constexpr std::string_view kName = "name=\"";
constexpr std::string_view kSource = "\" src=\"";
constexpr std::string_view kBorder = "\" frameborder=";
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Bytes of the character at `at`: a lead byte (0x81-0xFE) takes the next byte with it.
std::size_t CharLength(std::string_view text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    return c >= 0x81 && c <= 0xFE && at + 1 < text.size() ? 2 : 1;
}

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The words are ASCII and lower case; ASCII bytes at a character start are characters.
bool WordAt(std::string_view line, std::size_t at, std::string_view word, std::size_t& work) {
    if (line.size() - at < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        ++work;
        if (Fold(line[at + k]) != word[k]) return false;
    }
    return true;
}

// Whether the line holds the border words anywhere, character start or not: a line without
// them has no match, and most lines of a page are passed over by this quick look at its quotes.
bool MayHoldBorder(std::string_view line, std::size_t& work) {
    for (std::size_t at = line.find('"'); at != std::string_view::npos; at = line.find('"', at + 1)) {
        if (WordAt(line, at, kBorder, work)) return true;
    }
    return false;
}

}  // namespace

std::optional<FrameMatch> MatchFrameLine(std::string_view line, std::size_t* work) noexcept {
    std::size_t looked = 0;
    std::size_t firstName = kNone;
    std::size_t lastSource = kNone;
    std::size_t sourceBefore = kNone;  // the one before lastSource
    std::size_t lastBorder = kNone;
    std::size_t sourceOfBorder = kNone;  // the last source that ends before lastBorder begins
    for (std::size_t at = 0; at < line.size(); at += CharLength(line, at)) {
        ++looked;
        if (line[at] == '"') {
            if (WordAt(line, at, kSource, looked)) {
                sourceBefore = lastSource;
                lastSource = at;
            } else if (WordAt(line, at, kBorder, looked)) {
                lastBorder = at;
                // Only the latest source can overlap this border (its closing quote is the
                // border's opening one).
                sourceOfBorder = lastSource != kNone && lastSource + kSource.size() <= at ? lastSource : sourceBefore;
            }
        } else if (firstName == kNone && WordAt(line, at, kName, looked)) {
            firstName = at;
        }
    }
    if (work) *work += looked;
    if (firstName == kNone || lastBorder == kNone || sourceOfBorder == kNone ||
        firstName + kName.size() > sourceOfBorder) {
        return std::nullopt;
    }
    return FrameMatch{.begin = firstName,
                      .end = lastBorder + kBorder.size(),
                      .sourceBegin = sourceOfBorder + kSource.size(),
                      .sourceEnd = lastBorder};
}

FrameLines::FrameLines(std::string_view page, LineEnds ends) noexcept
    : page_(page),
      ends_(ends),
      nextLineFeed_(page.find('\n')),
      nextCarriageReturn_(ends.carriageReturn ? page.find('\r') : std::string_view::npos) {}

std::size_t FrameLines::NextEndByte(std::size_t from) noexcept {
    if (nextLineFeed_ < from) nextLineFeed_ = page_.find('\n', from);
    if (nextCarriageReturn_ < from) nextCarriageReturn_ = page_.find('\r', from);
    return std::min(nextLineFeed_, nextCarriageReturn_);
}

std::size_t FrameLines::LineEnd(std::size_t begin) noexcept {
    std::size_t from = begin;  // a character start
    for (;;) {
        const std::size_t end = NextEndByte(from);
        if (end == std::string_view::npos) return page_.size();
        if (IsCharBoundary(page_, from, end)) return end;
        from = end + 1;  // the second byte of a character: the next one starts one
    }
}

std::optional<FrameLines::Hit> FrameLines::Next() noexcept {
    while (at_ < page_.size()) {
        const std::size_t begin = at_;
        const std::size_t end = LineEnd(begin);
        work_ += end - begin + 1;
        at_ = end + 1;
        const std::string_view line = page_.substr(begin, end - begin);
        if (!MayHoldBorder(line, work_)) continue;
        if (const std::optional<FrameMatch> match = MatchFrameLine(line, &work_)) return Hit{line, *match};
    }
    return std::nullopt;
}

}  // namespace quenlark
