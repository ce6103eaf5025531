#include <gtest/gtest.h>

#include <string>

#include "runtime/Memory.h"
#include "runtime/Texts.h"
#include "text/Markers.h"
#include "text/ReplacePairs.h"

namespace quenlark {
namespace {

std::string S(const OwnedText& t) { return t.c_str(); }

TEST(TextBetween, ValueUpToTheRightMarkerAfterTheLeftOne) {
    const char* headers = "HTTP/1.1 302 Found\r\nlocation: https://files.example.test/f?id=7\r\nServer: x\r\n";
    EXPECT_EQ(S(TextBetween(headers, "Location: ", "\r\n", std::nullopt, true)), "https://files.example.test/f?id=7");
    EXPECT_EQ(S(TextBetween(headers, "Location: ", "\r\n")), "");  // exact case: not found
}

TEST(TextBetween, MissingMarkerGivesTheStaticEmptyTextAndAnEmptyValueNull) {
    EXPECT_EQ(TextBetween("a=1;", "b=", ";").Get(), kEmptyText);
    EXPECT_EQ(TextBetween("a=1", "a=", ";").Get(), kEmptyText);
    EXPECT_EQ(TextBetween("a=;", "a=", ";").Get(), nullptr);
    EXPECT_EQ(S(TextBetween("abc", "", "c")), "ab");  // an empty left marker matches at 1
}

TEST(TextBetween, QuotePlaceholderStandsForADoubleQuote) {
    EXPECT_EQ(S(TextBetween("<a href=\"/x/y\" id=1>", "href=#引号", "#引号")), "/x/y");
}

TEST(TextBetween, MarkersMatchOnlyAtCharacterBoundaries) {
    // 朢 is B1 41: its trail byte is the letter A, which must not be taken for the marker.
    const char* text =
        "\xB1"
        "A=1;A=2;";
    EXPECT_EQ(S(TextBetween(text, "A=", ";")), "2");
    // 中 (D6 D0) before the marker, ignoring case applies to ASCII only.
    EXPECT_EQ(S(TextBetween("\xD6\xD0KEY='v';", "key='", "';", std::nullopt, true)), "v");
}

TEST(TextBetween, EuroSignAndFFBeforeAMarkerAreCharactersOfTheirOwn) {
    // 80 (€) and FF are one byte each: the marker right behind them ends the value.
    EXPECT_EQ(S(TextBetween("var sign = 'ab\x80';var k = 1;", "sign = '", "';")), "ab\x80");
    EXPECT_EQ(S(TextBetween("var sign = 'ab\xFF';var k = 1;", "sign = '", "';")), "ab\xFF");
    const char* headers = "HTTP/1.1 302 Found\r\nLocation: https://h.example.test/\x80\r\nServer: x\r\n";
    EXPECT_EQ(S(TextBetween(headers, "\r\nLocation: ", "\r\n", std::nullopt, true)), "https://h.example.test/\x80");
    EXPECT_EQ(S(TextBetween("k=\xFF\xFF\r\n", "k=", "\r\n")), "\xFF\xFF");
    EXPECT_EQ(S(TextBetween("\x80k=1;", "k=", ";")), "1");  // a marker right after the sign
    EXPECT_EQ(S(TextAfter("a=b\x80=c", "=")), "c");
    EXPECT_EQ(S(TextBefore("a\xFF=b", "=")), "a\xFF");
    EXPECT_EQ(TextBetween("k='\x80", "k='", "';").Get(), kEmptyText);  // at the end of the text
}

TEST(TextBetween, StartPositionSkipsEarlierMarkers) {
    EXPECT_EQ(S(TextBetween("[1][2]", "[", "]", 2)), "2");
    EXPECT_EQ(S(TextBetween("[1][2]", "[", "]", 0)), "1");
}

TEST(TextBeforeAndAfter, FirstAndLastMarker) {
    EXPECT_EQ(S(TextBefore("a=b=c", "=")), "a");
    EXPECT_EQ(S(TextAfter("a=b=c", "=")), "c");
    EXPECT_EQ(TextBefore("abc", "=").Get(), kEmptyText);
    EXPECT_EQ(TextAfter("abc", "=").Get(), kEmptyText);
    // A marker that ends the text is the last one: nothing follows it.
    EXPECT_EQ(S(TextAfter("a=b=", "=")), "");
    EXPECT_EQ(S(TextAfter("\xD6\xD0=\xCE\xC4", "=")), "\xCE\xC4");  // 中=文
}

TEST(TextBeforeAndAfter, NegativeStartReversesTheSearch) {
    EXPECT_EQ(S(TextBefore("a=b=c=d", "=", -2)), "a=b");  // backwards, leaving out the last 2 bytes
    EXPECT_EQ(S(TextAfter("a=b=c=d", "=", -3)), "c=d");   // forwards from position 3
}

TEST(ReplacePairs, AppliesThePairsInTurn) {
    EXPECT_EQ(S(ReplacePairs("a\rb\r\nc", {{"\r", ""}})), "ab\nc");
    EXPECT_EQ(S(ReplacePairs("abc", {{"a", "b"}, {"b", "c"}})), "ccc");
    EXPECT_EQ(S(ReplacePairs("aAa", {{"a", "x"}}, {.caseSensitive = true})), "xAx");
    EXPECT_EQ(S(ReplacePairs("aAa", {{"a", "x"}})), "xxx");
    EXPECT_EQ(S(ReplacePairs("aaa", {{"a", "x"}}, {.count = 1, .start = 0})), "xaa");
    EXPECT_EQ(S(ReplacePairs("abc", {{"", "x"}, {nullptr, "y"}})), "abc");
}

TEST(TextLength32, CountsBytes) {
    EXPECT_EQ(TextLength32("\xD6\xD0"
                           "ab"),
              4);
    EXPECT_EQ(TextLength32(nullptr), 0);
}

}  // namespace
}  // namespace quenlark
