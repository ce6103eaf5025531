#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "http/Cookies.h"

namespace quenlark {
namespace {

// What the request procedure does with a response's header lines: collect every Set-Cookie
// line, then finish (trailing separator, merge with what was sent).
std::string Receive(std::initializer_list<const char*> setCookieLines, const char* sent, bool merge = true,
                    const char* before = nullptr) {
    OwnedText cookies = before ? OwnedText::CopyOf(before) : OwnedText();
    for (const char* line : setCookieLines) CollectSetCookies(line, cookies);
    FinishCookies(cookies, sent, merge);
    return cookies.c_str();
}

TEST(Cookies, SetCookieLinesAreReducedToNameValuePairs) {
    EXPECT_EQ(Receive({"Set-Cookie: a=1; path=/", "Set-Cookie: b=2"}, nullptr), "a=1; b=2");
    EXPECT_EQ(Receive({"Set-Cookie: sid=xyz; path=/; HttpOnly"}, nullptr), "sid=xyz");
    EXPECT_EQ(Receive({"Set-Cookie: lang=zh"}, nullptr), "lang=zh");
    EXPECT_EQ(Receive({"Set-Cookie: a=1", "Set-Cookie: a=2"}, nullptr), "a=1; a=2");  // both stay, in order
    // A value ending in the one-byte € (80) or FF ends at its semicolon.
    EXPECT_EQ(Receive({"Set-Cookie: a=\x80; path=/", "Set-Cookie: b=\xFF;"}, nullptr), "a=\x80; b=\xFF");
}

TEST(Cookies, TheNewSetWinsAndOldCookiesFollow) {
    EXPECT_EQ(Receive({"Set-Cookie: a=1"}, "a=0; c=3"), "a=1; c=3");
    EXPECT_EQ(Receive({"Set-Cookie: b=2"}, "a=0; c=3"), "b=2; a=0; c=3");
    EXPECT_EQ(Receive({"Set-Cookie: a=1"}, "a=0;"), "a=1");  // a trailing ";" is like none
    EXPECT_EQ(Receive({"Set-Cookie: b=2"}, "  a=0;  "), "b=2; a=0");
}

TEST(Cookies, DeletedCookiesDisappearWithTheirOldValue) {
    EXPECT_EQ(Receive({"Set-Cookie: c=deleted; expires=Thu, 01 Jan 1970 00:00:00 GMT"}, "a=0; c=3"), "a=0");
    EXPECT_EQ(Receive({"Set-Cookie: c=deleted"}, nullptr), "c=deleted");  // no merge without cookies sent
}

TEST(Cookies, WithoutMergingTheSentCookiesAreNotRepeated) {
    EXPECT_EQ(Receive({"Set-Cookie: b=2"}, "a=0", false), "b=2");
}

TEST(Cookies, WithoutSetCookieLinesTheSentSetComesBackOncePerName) {
    EXPECT_EQ(Receive({}, "a=1; b=2; a=3"), "a=1; b=2");
    EXPECT_EQ(Receive({}, nullptr), "");
}

TEST(Cookies, TextHeldOnEntryIsPartOfTheNewSet) {
    EXPECT_EQ(Receive({"Set-Cookie: b=2"}, nullptr, true, "x=9; "), "x=9; b=2");
    EXPECT_EQ(Receive({"Set-Cookie: x=1"}, "x=0", true, "x=9; "), "x=9; x=1");
}

TEST(Cookies, OnlyTheExactHeaderNameIsStrippedWhenThereIsNoSemicolon) {
    // The name match of the line is the caller's; here the prefix removal ignores case.
    EXPECT_EQ(Receive({"set-cookie: x=1"}, nullptr), "x=1");
    EXPECT_EQ(Receive({"Set-Cookie:"}, nullptr), "");  // an empty entry, then the separator cut
}

TEST(MergeCookies, RemovesWholeDuplicateEntriesOnly) {
    EXPECT_STREQ(MergeCookies("a=1", "a=1; b=2; a=1").c_str(), "a=1; b=2");
    EXPECT_STREQ(MergeCookies("", "a=1; a=2").c_str(), "a=1; a=2");
    EXPECT_STREQ(MergeCookies("flag; a=1", "b=2").c_str(), "b=2; flag; a=1");  // an entry without "=" is its own name
}

TEST(CookieName, TextBeforeTheFirstEqualsSignTrimmed) {
    EXPECT_STREQ(CookieName(" a =1=2").c_str(), "a");
    EXPECT_STREQ(CookieName("secure").c_str(), "secure");
    EXPECT_EQ(CookieName("").Get(), nullptr);
}

TEST(RemoveDuplicateEntries, KeepsTheFirstOfEqualPieces) {
    EXPECT_STREQ(RemoveDuplicateEntries("x|y|x|z|y", "|").c_str(), "x|y|z");
    EXPECT_STREQ(RemoveDuplicateEntries("a; A", "; ").c_str(), "a; A");  // case matters
}

}  // namespace
}  // namespace quenlark
