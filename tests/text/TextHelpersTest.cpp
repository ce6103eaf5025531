#include <gtest/gtest.h>

#include <string>

#include "runtime/Memory.h"
#include "runtime/Values.h"
#include "text/TextHelpers.h"

namespace quenlark {
namespace {

std::string S(const OwnedText& t) { return t.c_str(); }

TEST(TextBetween, ValueUpToTheRightMarkerAfterTheLeftOne) {
    const char* headers = "HTTP/1.1 302 Found\r\nlocation: https://files.example.test/f?id=7\r\nServer: x\r\n";
    EXPECT_EQ(S(TextBetween(headers, "Location: ", "\r\n", std::nullopt, true)), "https://files.example.test/f?id=7");
    EXPECT_EQ(S(TextBetween(headers, "Location: ", "\r\n")), "");  // exact case: not found
}

TEST(TextBetween, MissingMarkerGivesTheStaticEmptyTextAndAnEmptyValueNull) {
    EXPECT_EQ(TextBetween("a=1;", "b=", ";").get(), EmptyTextLiteral);
    EXPECT_EQ(TextBetween("a=1", "a=", ";").get(), EmptyTextLiteral);
    EXPECT_EQ(TextBetween("a=;", "a=", ";").get(), nullptr);
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
    EXPECT_EQ(TextBetween("k='\x80", "k='", "';").get(), EmptyTextLiteral);  // at the end of the text
}

TEST(TextBetween, StartPositionSkipsEarlierMarkers) {
    EXPECT_EQ(S(TextBetween("[1][2]", "[", "]", 2)), "2");
    EXPECT_EQ(S(TextBetween("[1][2]", "[", "]", 0)), "1");
}

TEST(TextBeforeAndAfter, FirstAndLastMarker) {
    EXPECT_EQ(S(TextBefore("a=b=c", "=")), "a");
    EXPECT_EQ(S(TextAfter("a=b=c", "=")), "c");
    EXPECT_EQ(TextBefore("abc", "=").get(), EmptyTextLiteral);
    EXPECT_EQ(TextAfter("abc", "=").get(), EmptyTextLiteral);
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

// The conversions must not depend on the system's ANSI code page: here it is 1252 (natively by
// construction, under wine by its default locale), where the Chinese characters do not exist.
TEST(CodePages, AnsiToUtf8AndBackKeepChineseText) {
    const char* gbk = "\xD6\xD0\xCE\xC4";           // 中文 in code page 936
    const char* utf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文 in UTF-8
    EXPECT_EQ(S(AnsiToUtf8(gbk)), utf8);
    EXPECT_EQ(S(Utf8ToAnsi(utf8)), gbk);
    std::string longGbk;
    std::string longUtf8;
    for (int i = 0; i < 500; ++i) {
        longGbk += gbk;
        longUtf8 += utf8;
    }
    EXPECT_EQ(S(AnsiToUtf8(longGbk.c_str())), longUtf8);
    EXPECT_EQ(S(Utf8ToAnsi(longUtf8.c_str())), longGbk);
}

TEST(CodePages, AsciiEmptyAndUnmappableCharacters) {
    EXPECT_EQ(S(Utf8ToAnsi("plain ascii")), "plain ascii");
    EXPECT_EQ(S(Utf8ToAnsi("")), "");
    EXPECT_EQ(S(AnsiToUtf8(nullptr)), "");
    EXPECT_EQ(S(Utf8ToAnsi("\xED\x95\x9C")), "?");  // 한 (U+D55C) has no code page 936 form
}

// Over 1 GiB of UTF-8 is over 2 GiB of UTF-16: sizes counted in 32 bits made the text empty.
// Natively only, and only where the address space holds the 4 GiB that this takes.
TEST(CodePages, TextsOverOneGibibyteConvert) {
#if defined(_WIN32)
    GTEST_SKIP() << "run natively";
#else
    if (sizeof(void*) < 8) GTEST_SKIP() << "needs a 64-bit address space";
    std::string utf8(std::size_t{1} << 30, 'a');
    utf8 += "\xE4\xB8\xAD";  // 中
    const OwnedText text = Utf8ToAnsi(utf8.c_str());
    utf8 = std::string();
    ASSERT_EQ(text.length(), (std::size_t{1} << 30) + 2);
    EXPECT_EQ(text.view().substr(text.length() - 3), "a\xD6\xD0");
#endif
}

TEST(CodePages, Utf16UnitsEndWithAZeroUnit) {
    const OwnedByteSet units = MultiByteToUtf16(
        "\xD6\xD0"
        "a",
        936);
    ASSERT_EQ(units.size(), 6u);
    EXPECT_EQ(units.view(), std::string_view("\x2D\x4E\x61\x00\x00\x00", 6));  // U+4E2D 'a' NUL
    const OwnedByteSet empty = MultiByteToUtf16("", 65001);
    EXPECT_EQ(empty.view(), std::string_view("\0\0", 2));
}

TEST(CodePages, Utf16ToMultiByteStopsAtTheFirstZeroUnitAndAtTheEndOfTheBlock) {
    const OwnedByteSet stopped = OwnedByteSet::CopyOf("\x41\x00\x00\x00\x42\x00", 6);
    EXPECT_EQ(S(Utf16ToMultiByte(stopped.get(), 65001)), "A");
    const OwnedByteSet unterminated = OwnedByteSet::CopyOf("\x41\x00\x42\x00", 4);
    EXPECT_EQ(S(Utf16ToMultiByte(unterminated.get(), 65001)), "AB");
    EXPECT_EQ(Utf16ToMultiByte(nullptr, 936).get(), nullptr);
}

TEST(TextByteLength, CountsBytes) {
    EXPECT_EQ(TextByteLength("\xD6\xD0"
                             "ab"),
              4);
    EXPECT_EQ(TextByteLength(nullptr), 0);
}

}  // namespace
}  // namespace quenlark
