#include <gtest/gtest.h>

#include <string>

#include "http/RequestHeaders.h"

namespace quenlark {
namespace {

std::string Build(const char* headers, int method, const char* cookies = nullptr, bool defaults = true,
                  bool normalize = true) {
    return std::string(BuildRequestHeaders(headers, method, cookies, defaults, normalize).c_str());
}

const std::string kUserAgent = "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
const std::string kAccept = "Accept: text/html, application/xhtml+xml, */*";
const std::string kEncoding = "Accept-Encoding: gbk, GB2312";
const std::string kLanguage = "Accept-Language: zh-cn";
const std::string kForm = "Content-Type: application/x-www-form-urlencoded";
const std::string kCache = "Cache-Control: no-cache";

TEST(BuildRequestHeaders, DefaultsInTableOrderWithoutTrailingLineEnd) {
    EXPECT_EQ(Build(nullptr, 0),
              kUserAgent + "\r\n" + kAccept + "\r\n" + kEncoding + "\r\n" + kLanguage + "\r\n" + kCache);
    EXPECT_EQ(Build("", 0), Build(nullptr, 0));
}

TEST(BuildRequestHeaders, PostAddsTheFormContentTypeBeforeCacheControl) {
    EXPECT_EQ(Build(nullptr, 1), kUserAgent + "\r\n" + kAccept + "\r\n" + kEncoding + "\r\n" + kLanguage + "\r\n" +
                                     kForm + "\r\n" + kCache);
    EXPECT_EQ(Build(nullptr, 3).find("Content-Type"), std::string::npos);  // only POST
}

TEST(BuildRequestHeaders, ProbesIgnoreCaseAndNamesAreNormalised) {
    const std::string block = Build("user-agent: X", 0);
    EXPECT_EQ(block.rfind("User-Agent: X\r\n", 0), 0u);
    EXPECT_EQ(block.find("Mozilla"), std::string::npos);
    // The Content-Type probe has no blank after the colon, so this line counts.
    const std::string post = Build("Content-Type:text/plain", 1);
    EXPECT_EQ(post.find("x-www-form-urlencoded"), std::string::npos);
    EXPECT_EQ(post.rfind("Content-Type:text/plain\r\n", 0), 0u);
}

TEST(BuildRequestHeaders, ProbesMatchAnywhereInTheBlock) {
    // "Accept: " stands inside the X-Note value, so no default Accept line is added.
    const std::string block = Build("X-Note: Accept: none", 0);
    EXPECT_EQ(block.find(kAccept), std::string::npos);
    EXPECT_NE(block.find(kEncoding), std::string::npos);
}

TEST(BuildRequestHeaders, TrailingLineEndOfTheCallerIsDroppedOnlyWhenNormalising) {
    EXPECT_EQ(Build("A: 1\r\n", 0, nullptr, false, true), "A: 1");
    EXPECT_EQ(Build("A: 1\r\n", 0, nullptr, false, false), "A: 1\r\n\r\n");
}

TEST(BuildRequestHeaders, OnlyTheExactKeepAliveLineIsRemoved) {
    EXPECT_EQ(Build("Connection: keep-alive\r\nX-A: 1", 0, nullptr, false, true), "X-A: 1");
    EXPECT_EQ(Build("Connection: Keep-Alive\r\nX-A: 1", 0, nullptr, false, true), "Connection: Keep-Alive\r\nX-A: 1");
    EXPECT_EQ(Build("Connection: close\r\nX-A: 1", 0, nullptr, false, true), "Connection: close\r\nX-A: 1");
    // As the last line it has no CR LF after normalisation, so it stays.
    EXPECT_EQ(Build("X-A: 1\r\nConnection: keep-alive", 0, nullptr, false, true), "X-A: 1\r\nConnection: keep-alive");
    // Without normalisation every line ends with CR LF: every exact copy goes.
    EXPECT_EQ(Build("Connection: keep-alive\r\nX-A: 1\r\nConnection: keep-alive", 0, nullptr, false, false),
              "X-A: 1\r\n");
}

TEST(BuildRequestHeaders, CookiesAreAddedAsACookieLine) {
    EXPECT_EQ(Build("X-A: 1", 0, "a=1; b=2", false, true), "X-A: 1\r\nCookie: a=1; b=2\r\n");
    // Without normalisation the block already ended with CR LF: an empty line stands before it.
    EXPECT_EQ(Build("X-A: 1", 0, "a=1; b=2", false, false), "X-A: 1\r\n\r\nCookie: a=1; b=2\r\n");
    EXPECT_EQ(Build("X-A: 1", 0, "Cookie: a=1", false, true), "X-A: 1\r\nCookie: a=1\r\n");
    EXPECT_EQ(Build("X-A: 1", 0, "cookie: a=1", false, true), "X-A: 1\r\ncookie: a=1\r\n");
}

TEST(BuildRequestHeaders, ACookieLineOfTheCallerWinsOverTheCookiesToSend) {
    EXPECT_EQ(Build("Cookie: mine=1", 0, "a=1", false, true), "Cookie: mine=1");
    // Any name that merely contains "Cookie:" counts as well.
    EXPECT_EQ(Build("X-Cookie: 1", 0, "a=1", false, true), "X-Cookie: 1");
}

TEST(BuildRequestHeaders, NothingAddedWhenDefaultsAndNormalisationAreOff) {
    EXPECT_EQ(Build("x-a: 1", 1, nullptr, false, false), "x-a: 1\r\n");
    EXPECT_EQ(Build(nullptr, 0, nullptr, false, false), "");
}

TEST(NormalizeHeaderNames, CapitalisesEachHyphenatedWordAndKeepsTheRest) {
    EXPECT_EQ(std::string(NormalizeHeaderNames("content-type: text/html\r\nx-requested-with: XMLHttpRequest").c_str()),
              "Content-Type: text/html\r\nX-Requested-With: XMLHttpRequest");
    EXPECT_EQ(std::string(NormalizeHeaderNames("cOOKIE: a=b").c_str()), "COOKIE: a=b");
    EXPECT_EQ(std::string(NormalizeHeaderNames("referer:https://h.example/\xD6\xD0").c_str()),
              "Referer:https://h.example/\xD6\xD0");  // value bytes (中) untouched
    EXPECT_EQ(std::string(NormalizeHeaderNames("no colon here\r\n\r\na: 1").c_str()), "A: 1");
    EXPECT_EQ(NormalizeHeaderNames("").Get(), nullptr);
}

TEST(HeaderValue, TakesTheFirstLineThatBeginsWithTheName) {
    const char* block = "X-Connection: no\r\nConnection: keep-alive\r\nConnection: close";
    EXPECT_STREQ(HeaderValue(block, "Connection").c_str(), "keep-alive");
    EXPECT_STREQ(HeaderValue("Connection:close", "Connection").c_str(), "");  // no blank after the colon
    EXPECT_STREQ(HeaderValue(block, "connection").c_str(), "");               // exact case
    // A line ending in the one-byte € (80) or FF ends at its CR LF.
    EXPECT_STREQ(HeaderValue("Referer: h\x80\r\nConnection: close", "Referer").c_str(), "h\x80");
    EXPECT_STREQ(HeaderValue("X-A: \xFF\r\nConnection: close", "Connection").c_str(), "close");
}

TEST(CapitalizeFirst, OnlyAnAsciiLetterAtTheStartChanges) {
    EXPECT_STREQ(CapitalizeFirst("agent").c_str(), "Agent");
    EXPECT_STREQ(CapitalizeFirst("1st").c_str(), "1st");
    EXPECT_STREQ(CapitalizeFirst("\xD6\xD0x").c_str(), "\xD6\xD0x");
    EXPECT_EQ(CapitalizeFirst("").Get(), nullptr);
}

}  // namespace
}  // namespace quenlark
