// The download frame's source on a share page, found in time linear in the page's size. The
// resolver's frame pattern, name=".*" src="(.*)" frameborder= (letter case ignored, every
// match), backtracks without bound in the system's engine: a long line of frame openings
// without the closing words takes hours. Its `.` never crosses a line end, so every match
// lies within one line, and greedy matching fixes what a line yields:
//   - the match ends with the line's LAST `" frameborder=`;
//   - the group starts after the last `" src="` that ends at or before that one begins;
//   - the match starts at the line's FIRST `name="`, which must end at or before that
//     `" src="` begins (else the line has no match);
//   - the search goes on after the match, where no `" frameborder=` is left: one match a line.
// Texts are code page 936: the words are sought at character starts only.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace quenlark {

// Offsets of one match within its line: [begin, end) the whole match, [sourceBegin,
// sourceEnd) the group.
struct FrameMatch {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t sourceBegin = 0;
    std::size_t sourceEnd = 0;
};

// What ends a line for the engine's `.`: the line feed always; the carriage return on some
// engines (the caller asks its engine).
struct LineEnds {
    bool carriageReturn = false;
};

// The pattern's match within `line` (a text holding no line end), if it has one. `work`, when
// given, is increased by the bytes looked at.
[[nodiscard]] std::optional<FrameMatch> MatchFrameLine(std::string_view line, std::size_t* work = nullptr) noexcept;

// Walks a page line by line to the lines that hold a match, in order.
class FrameLines {
public:
    FrameLines(std::string_view page, LineEnds ends) noexcept;
    // The next line with a match and that match; nullopt at the end of the page.
    struct Hit {
        std::string_view line;
        FrameMatch match;
    };
    [[nodiscard]] std::optional<Hit> Next() noexcept;
    // Bytes looked at so far, over all lines: a bounded multiple of the page's size.
    [[nodiscard]] std::size_t Work() const noexcept { return work_; }

private:
    // The next byte at or after `from` that may end a line. Each kind is searched for with the
    // C library's byte search, and where it was found is kept until passed: one scan a kind.
    std::size_t NextEndByte(std::size_t from) noexcept;
    // Where the line that starts at `begin` ends: its first line end at a character start.
    std::size_t LineEnd(std::size_t begin) noexcept;

    std::string_view page_;
    LineEnds ends_;
    std::size_t nextLineFeed_;
    std::size_t nextCarriageReturn_;
    std::size_t at_ = 0;
    std::size_t work_ = 0;
};

}  // namespace quenlark
