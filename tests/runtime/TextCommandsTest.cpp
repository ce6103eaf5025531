#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "runtime/TextCommands.h"
#include "runtime/TextSearch.h"
#include "runtime/commands/TextCommands.h"

namespace quenlark {
namespace {

// GBK bytes used below: B0 41 and B0 61 are characters whose trail bytes read as 'A' and 'a';
// D6 D0 is 中; A1 A1 is the full-width space; 80 (the euro sign) and FF are one-byte
// characters, and 80 is also a trail byte (B0 80).

using Elements = std::vector<std::optional<std::string>>;
Elements ToElements(const OwnedTextArray& array) {
    Elements out;
    for (std::size_t i = 1; i <= array.size(); ++i)
        out.push_back(array.At(i) ? std::optional<std::string>(array.At(i)) : std::nullopt);
    return out;
}

// ---- The searches written out plainly: step whole characters, compare at each -----------

std::size_t CharLength(const std::string& t, std::size_t at) {
    return IsLeadByte(static_cast<unsigned char>(t[at])) && at + 1 < t.size() ? 2 : 1;
}

bool SameAt(const std::string& t, std::size_t at, const std::string& sub, bool ci) {
    auto fold = [ci](char c) { return ci && c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (std::size_t k = 0; k < sub.size(); ++k) {
        if (at + k >= t.size() || fold(t[at + k]) != fold(sub[k])) return false;
    }
    return true;
}

int PlainFind(const std::string& t, const std::string& sub, int start, bool ci) {
    std::size_t at = 0;
    while (at + 1 < static_cast<std::size_t>(std::max(start, 1)) && at < t.size()) at += CharLength(t, at);
    for (; at < t.size(); at += CharLength(t, at)) {
        if (SameAt(t, at, sub, ci)) return static_cast<int>(at) + 1;
    }
    return -1;
}

int PlainFindReverse(const std::string& t, const std::string& sub, int start, bool ci) {
    const long long bound = start - 1LL - static_cast<long long>(sub.size());
    std::size_t at = 0;
    while (static_cast<long long>(at) < bound && at < t.size()) at += CharLength(t, at);
    for (long long c = bound < 0 ? -1 : static_cast<long long>(std::min(at, t.size())); c >= 0; --c) {
        if (SameAt(t, static_cast<std::size_t>(c), sub, ci)) return static_cast<int>(c) + 1;
    }
    return -1;
}

TEST(TextSearch, LeadBytesAreTheRangeFrom81ToFE) {
    EXPECT_FALSE(IsLeadByte(0x7F));
    EXPECT_FALSE(IsLeadByte(0x80));
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0xFE));
    EXPECT_FALSE(IsLeadByte(0xFF));
}

// Random texts over a few letters, lead bytes and the one-byte 80 and FF: trail bytes that
// look like letters, periodic runs that push the matcher onto its fallback, vector blocks
// and their tails.
TEST(TextSearch, AgreesWithPlainCharacterSteppingOnRandomTexts) {
    std::mt19937 random(20240611);
    const char alphabet[] = {'a', 'A', 'b', '\xB0', '\xC1', '\x80', '\xFF'};
    auto make = [&](std::size_t length) {
        std::string s;
        for (std::size_t i = 0; i < length; ++i) s.push_back(alphabet[random() % (random() % 2 ? 2 : 7)]);
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        const std::string text = make(1 + random() % (round < 2500 ? 80 : 9000));
        const std::string sub = make(1 + random() % (round % 3 ? 4 : 40));
        const int start = static_cast<int>(random() % (text.size() + 3)) - 1;
        const bool ci = random() % 2;
        SCOPED_TRACE(testing::Message() << "round " << round);
        ASSERT_EQ(FindText(text.c_str(), sub.c_str(), start, ci), PlainFind(text, sub, start, ci));
        if (start > 0) {
            ASSERT_EQ(FindTextReverse(text.c_str(), sub.c_str(), start, ci), PlainFindReverse(text, sub, start, ci));
        }
        ASSERT_EQ(FindTextReverse(text.c_str(), sub.c_str(), std::nullopt, ci),
                  PlainFindReverse(text, sub, INT_MAX, ci));
    }
}

TEST(FindText, EdgeCasesOfArgumentsBoundariesAndCase) {
    EXPECT_EQ(FindText("abc", "", 3), 1);
    EXPECT_EQ(FindText("", ""), -1);
    EXPECT_EQ(FindText("abc", "c", 4), -1);
    EXPECT_EQ(FindText("abab", "a", 0), 1);
    EXPECT_EQ(FindText("\xB0\x41", "A"), -1);                   // never on a trail byte
    EXPECT_EQ(FindText("\xD6\xD0\xD6\xD0", "\xD6\xD0", 2), 3);  // a start on a trail byte moves on
    EXPECT_EQ(FindText("Location: http://h/", "location: ", std::nullopt, true), 1);
    EXPECT_EQ(FindText("\xB0\x41", "\xB0\x61", std::nullopt, true), 1);  // trail bytes fold too
    std::string run;
    for (int i = 0; i < 100; ++i) run += "\xB0\x41";
    EXPECT_EQ(FindText((run + "x\xB0\x41").c_str(), "\x41\xB0"), -1);
    EXPECT_EQ(FindText((run + "\x41\xB0").c_str(), "\x41\xB0"), 201);
}

// 80 (the euro sign) and FF are characters of their own: the byte after them starts the next
// character, so a marker right behind them is found, also by the vector scan over long texts.
TEST(FindText, EuroSignAndFFStandAlone) {
    EXPECT_EQ(FindText("x\x80';y", "';"), 3);
    EXPECT_EQ(FindText("x\xFF';y", "';"), 3);
    EXPECT_EQ(FindText("\x80\x80\x80\r\nB", "\r\n"), 4);
    EXPECT_EQ(FindText("\xB0\x80';", "';"), 3);    // 80 as a trail byte ends its character
    EXPECT_EQ(FindText("\x80\xB0\x41", "A"), -1);  // B0 still leads after a euro sign
    EXPECT_EQ(FindText("ab\x80", "\x80"), 3);      // at the end of the text
    EXPECT_EQ(FindText("ab\xFF", "\xFF"), 3);
    EXPECT_EQ(FindText("\x80\x80", "\x80", 2), 2);  // a start after a euro sign stays put
    std::string euros(300, '\x80');
    EXPECT_EQ(FindText((euros + "';").c_str(), "';"), 301);
    EXPECT_EQ(FindText((euros + "';").c_str(), "\x80';"), 300);
    EXPECT_EQ(FindText((std::string(301, '\xFF') + "\r\n").c_str(), "\r\n", std::nullopt, true), 302);
    EXPECT_EQ(FindTextReverse((euros + "';x").c_str(), "';"), 301);
}

TEST(FindTextReverse, FindsTheLastMatchThatEndsBeforeTheStart) {
    EXPECT_EQ(FindTextReverse("abcabc", "bc"), 5);     // ends at the last byte
    EXPECT_EQ(FindTextReverse("abcabc", "bc", 6), 2);  // must begin at or before 6 - 2
    EXPECT_EQ(FindTextReverse("abc", "a", 0), -1);
    EXPECT_EQ(FindTextReverse("abc", "abc", 1), -1);  // no room before the start
    EXPECT_EQ(FindTextReverse("\xB0\x41", "A"), 2);   // candidates step back byte by byte
}

TEST(ReplaceSubText, NonOverlappingMatchesFromStartUpToCount) {
    EXPECT_STREQ(ReplaceSubText("aaaa", "aa", {.replacement = "b"}).Get(), "bb");
    EXPECT_STREQ(ReplaceSubText("xaxa", "x", {.replacement = "y", .count = 1}).Get(), "yaxa");
    EXPECT_STREQ(ReplaceSubText("xaxa", "x", {.replacement = "y", .start = 2}).Get(), "xaya");
    EXPECT_STREQ(ReplaceSubText("AaA", "a", {.replacement = "b", .caseSensitive = true}).Get(), "AbA");
    EXPECT_STREQ(ReplaceSubText("\xB0\x41"
                                "a",
                                "A", {.replacement = "!"})
                     .Get(),
                 "\xB0\x41!");
    OwnedText removed = ReplaceSubText("aaa", "a");
    ASSERT_NE(removed.Get(), nullptr);  // an allocated "", not null
    EXPECT_STREQ(removed.Get(), "");
    EXPECT_STREQ(ReplaceSubText("abc", "b", {.count = 0}).Get(), "abc");
}

TEST(ReplaceSubText, KeepsEveryPieceOfALongText) {
    std::string text, expected;
    for (int i = 0; i < 50000; ++i) {
        text += std::to_string(i) + ",\xD6\xD0;";
        expected += std::to_string(i) + "<>\xD6\xD0;";
    }
    EXPECT_EQ(ReplaceSubText(text.c_str(), ",", {.replacement = "<>"}).view(), expected);
}

TEST(SplitText, EmptyInnerPiecesStayTheTrailingOneAndTheRestBeyondCountGo) {
    EXPECT_EQ(ToElements(SplitText("a,,b,")), (Elements{"a", std::nullopt, "b"}));
    EXPECT_EQ(ToElements(SplitText("a,,b,", ",", 2)), (Elements{"a", std::nullopt}));
    EXPECT_EQ(ToElements(SplitText("abc", ";")), (Elements{"abc"}));
    EXPECT_EQ(ToElements(SplitText("\xB0\x41xAy", "A")), (Elements{"\xB0\x41x", "y"}));
    EXPECT_EQ(ToElements(SplitText("a\x80\r\nb\xFF\r\n", "\r\n")), (Elements{"a\x80", "b\xFF"}));
    EXPECT_EQ(ToElements(SplitText("a,b", nullptr)), (Elements{"a,b"}));  // a given null separator
    EXPECT_EQ(ToElements(SplitText("")), Elements{});
    OwnedTextArray lines = SplitText(std::string(100000, '\n').insert(0, "x").c_str(), "\n");
    EXPECT_EQ(lines.size(), 100000u);
}

TEST(Spaces, OnlyAsciiAndFullWidthSpacesAtCharacterBoundaries) {
    EXPECT_STREQ(TrimSpaces("\xA1\xA1 ab c \xA1\xA1").Get(), "ab c");
    EXPECT_STREQ(TrimSpaces("\tab").Get(), "\tab");
    EXPECT_STREQ(TrimSpaces("\xB0\xA1\xA1\xA1").Get(), "\xB0\xA1");  // B0 A1, then a space
    EXPECT_STREQ(RemoveAllSpaces("\xD6\xD0 x\xA1\xA1y ").Get(), "\xD6\xD0xy");
    EXPECT_STREQ(TrimSpaces(" \x80 ").Get(), "\x80");  // a euro sign does not take the space with it
    EXPECT_STREQ(TrimSpaces("\xFF\xA1\xA1").Get(), "\xFF");
    EXPECT_STREQ(RemoveAllSpaces("\x80 \xFF a").Get(),
                 "\x80\xFF"
                 "a");
    OwnedText onlySpaces = RemoveAllSpaces("  \xA1\xA1");
    ASSERT_NE(onlySpaces.Get(), nullptr);
    EXPECT_STREQ(onlySpaces.Get(), "");
}

TEST(PiecesAndCharacters, BytesSignsAndCase) {
    EXPECT_STREQ(TextLeft("abc", 10).Get(), "abc");
    EXPECT_STREQ(TextLeft("\xD6\xD0x", 1).Get(), "\xD6");  // may cut a character
    EXPECT_STREQ(TextRight("abc", 2).Get(), "bc");
    EXPECT_STREQ(TextMiddle("abcdef", 5, 9).Get(), "ef");
    EXPECT_EQ(TextMiddle("abc", 4, 1).Get(), nullptr);
    EXPECT_EQ(CompareText("abc", "ABC", true), 1);
    EXPECT_EQ(CompareText(nullptr, "", true), 0);
    EXPECT_EQ(CompareText("ab", "abc", true), -1);
    EXPECT_EQ(CompareText("\x80", "z", true), 1);  // 0x80 sorts after 'z'
    EXPECT_EQ(CompareText("abc", "ABC", false), 0);
    EXPECT_LT(CompareText("abc", "ABD", false), 0);
    EXPECT_FALSE(TextStartsWith("abc", ""));
    EXPECT_EQ(CharCodeAt("\xD6\xD0"), -42);  // the lead byte, signed
    EXPECT_EQ(CharFromCode(0x100).Get(), nullptr);
    EXPECT_STREQ(ToUpperText("ab\xB0"
                             "ac")
                     .Get(),
                 "AB\xB0"
                 "aC");  // the trail byte of B0 61 stays
    EXPECT_STREQ(ToUpperText("\x80"
                             "a\xFF"
                             "b")
                     .Get(),
                 "\x80"
                 "A\xFF"
                 "B");
    EXPECT_STREQ(SpacesText(3).Get(), "   ");
}

}  // namespace
}  // namespace quenlark
