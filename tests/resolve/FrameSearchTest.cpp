// The line scan that stands in for the frame pattern's backtracking: which line matches and
// which part of it the group takes, by the pattern's greedy rules; and that its work stays a
// small multiple of the page however the page is made. (The same results as the system's
// engine are checked on Windows, in FrameSearchEngineTest.)
#include <gtest/gtest.h>

#include <string>

#include "resolve/FrameSearch.h"

namespace quenlark {
namespace {

// The group of the line's match, or "<none>".
std::string Source(std::string_view line) {
    const std::optional<FrameMatch> m = MatchFrameLine(line);
    return m ? std::string(line.substr(m->sourceBegin, m->sourceEnd - m->sourceBegin)) : "<none>";
}

std::string Match(std::string_view line) {
    const std::optional<FrameMatch> m = MatchFrameLine(line);
    return m ? std::string(line.substr(m->begin, m->end - m->begin)) : "<none>";
}

TEST(FrameSearch, GreedyGroupsRunToTheLastBorderFromTheLastSourceBeforeIt) {
    EXPECT_EQ(Source("<iframe name=\"dl\" src=\"/fn?abc\" frameborder=\"0\"></iframe>"), "/fn?abc");
    // Two frames on one line: one match, from the first name to the last border.
    const std::string two =
        "<iframe name=\"a\" src=\"/x\" frameborder=\"0\"><iframe name=\"b\" src=\"/y\" frameborder=\"0\">";
    EXPECT_EQ(Source(two), "/y");
    EXPECT_EQ(Match(two), two.substr(8, two.rfind("frameborder=") + 12 - 8));
    // A source after the last border does not count; nor does one overlapping the border.
    EXPECT_EQ(Source("name=\"a\" src=\"/x\" frameborder= src=\"/late\""), "/x");
    EXPECT_EQ(Source("name=\"\" src=\"\" src=\" frameborder="), "\" src=");
    EXPECT_EQ(Source("name=\"\" src=\"\" frameborder="), "");
    // Letter case is ignored; the quotes and blanks are not optional.
    EXPECT_EQ(Source("NAME=\"a\" SRC=\"/Up\" FrameBorder=0"), "/Up");
    EXPECT_EQ(Source("name=\"a\"  src=\"/x\" frameborder="), "<none>");
    EXPECT_EQ(Source("name=\"a\" src=\"/x\"frameborder="), "<none>");
}

TEST(FrameSearch, WordsMustFollowEachOtherWithoutSharingAByte) {
    EXPECT_EQ(Source("name=\" src=\"/x\" frameborder="), "<none>");  // the name's quote is not the source's
    EXPECT_EQ(Source("\" src=\" frameborder= name=\"a\" src=\"/x\""), "<none>");
    EXPECT_EQ(Source("\" src=\"/x\" frameborder= name=\"a\""), "<none>");
    EXPECT_EQ(Source("name=\"a\" src=\"/x\" frameborder"), "<none>");
    // The first name that has a source after it starts the match.
    EXPECT_EQ(Match("name=\"1\" name=\"2\" src=\"/x\" frameborder="), "name=\"1\" name=\"2\" src=\"/x\" frameborder=");
}

TEST(FrameSearch, WordsAreSoughtAtCharacterStartsOfCodePage936) {
    // 乶 is 81 6E: its trail byte is the letter n, which must not start "name=".
    EXPECT_EQ(Source("\x81name=\"a\" src=\"/x\" frameborder="), "<none>");
    EXPECT_EQ(Source("\x81nname=\"a\" src=\"/x\" frameborder="), "/x");
    // The euro sign (80) is a character of its own.
    EXPECT_EQ(Source("\x80name=\"a\" src=\"/\x80\" frameborder="), "/\x80");
    // 中 (D6 D0) inside the source is kept whole.
    EXPECT_EQ(Source("name=\"a\" src=\"/\xD6\xD0\" frameborder="), "/\xD6\xD0");
}

TEST(FrameSearch, LinesEndAtLineFeedsAndWhereTheEngineSaysAtCarriageReturns) {
    const std::string page = "name=\"a\" src=\"/one\r\" frameborder=\nx\nname=\"b\" src=\"/two\" frameborder=\r\n";
    FrameLines lf(page, {.carriageReturn = false});
    auto hit = lf.Next();
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->line.substr(hit->match.sourceBegin, hit->match.sourceEnd - hit->match.sourceBegin), "/one\r");
    hit = lf.Next();
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->line.substr(hit->match.sourceBegin, hit->match.sourceEnd - hit->match.sourceBegin), "/two");
    EXPECT_FALSE(lf.Next());

    FrameLines cr(page, {.carriageReturn = true});
    hit = cr.Next();
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->line.substr(hit->match.sourceBegin, hit->match.sourceEnd - hit->match.sourceBegin), "/two");
    EXPECT_FALSE(cr.Next());
    // A match never spans a line feed, unless the byte is the second of a character.
    EXPECT_FALSE(FrameLines("name=\"a\" src=\"/x\n\" frameborder=", {}).Next());
    for (const bool carriageReturn : {false, true}) {
        FrameLines swallowed("x\x81\nname=\"a\" src=\"/\xB0\n\x81\r\" frameborder=\n",
                             {.carriageReturn = carriageReturn});
        hit = swallowed.Next();
        ASSERT_TRUE(hit) << carriageReturn;
        EXPECT_EQ(hit->line.substr(hit->match.sourceBegin, hit->match.sourceEnd - hit->match.sourceBegin),
                  "/\xB0\n\x81\r");
    }
}

TEST(FrameSearch, WorkStaysLinearOnPagesThatMakeTheEngineBacktrack) {
    // One long line of openings without a border, the same broken into lines, and one with a
    // border at the very end: each byte is looked at a bounded number of times.
    for (const std::string unit : {"<iframe name=\"a\" src=\"b\" ", "name=\"\" src=\"\n", "\" src=\"\" src=\"",
                                   "\x81n\x81"
                                   "a",
                                   "\" frameborder=\" src=\""}) {
        std::string page;
        while (page.size() < (1u << 20)) page += unit;
        page += "name=\"z\" src=\"/end\" frameborder=";
        FrameLines lines(page, {});
        std::size_t hits = 0;
        while (lines.Next()) ++hits;
        EXPECT_GE(hits, 1u);
        EXPECT_LE(lines.Work(), 32 * page.size()) << unit;
    }
}

}  // namespace
}  // namespace quenlark
