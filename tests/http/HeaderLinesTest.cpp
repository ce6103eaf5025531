// A response's header block walked once: which lines give cookies and the location, and a
// block of very many Set-Cookie lines collected and merged whole.
#include <gtest/gtest.h>

#include <string>

#include "http/Cookies.h"
#include "http/HeaderLines.h"

namespace quenlark {
namespace {

std::string Shown(const OwnedText& text) { return text.Get() ? text.c_str() : "(null)"; }

TEST(HeaderLines, SetCookieAndLocationLinesAreKnownByHowTheyStart) {
    struct Case {
        const char* block;
        const char* cookies;   // the text held on entry is "h=0; "
        const char* location;  // "as passed" when no line sets it
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nContent-Type: text/html\r\nSet-Cookie: b=2\r\n\r\n",
         "h=0; a=1; b=2; ", "as passed"},
        // The cookie line's name is exact, and the blank after its colon is part of it.
        {"HTTP/1.1 200 OK\r\nset-cookie: a=1\r\nSet-Cookie:b=2\r\nSet-Cookie2: c=3\r\nX-Set-Cookie: d=4\r\n\r\n",
         "h=0; ", "as passed"},
        // The location's name has any case but needs its blank; a later line wins; an empty
        // one gives null.
        {"HTTP/1.1 302 Found\r\nLOCATION: /first\r\nlocation: /second\r\nLocation:/third\r\n\r\n", "h=0; ", "/second"},
        {"HTTP/1.1 302 Found\r\nLocation: /moved\r\nLocation: \r\n\r\n", "h=0; ", "(null)"},
        // Every line counts, the first one and a last one without its line end too.
        {"Set-Cookie: s=1\r\nX: y\r\nLocation: /end", "h=0; s=1; ", "/end"},
        // A CR after a lead byte is that character's second byte, not a line end; a ";" after
        // a lead byte does not end the cookie's value.
        {"HTTP/1.1 200 OK\r\nX: \x81\r\nSet-Cookie: a=1\r\nSet-Cookie: b=\xB0;c; path=/\r\n\r\n", "h=0; b=\xB0;c; ",
         "as passed"},
    };
    for (const Case& c : cases) {
        OwnedText cookies = OwnedText::CopyOf("h=0; ");
        OwnedText location = OwnedText::CopyOf("as passed");
        VisitHeaderLines(c.block, cookies, location);
        EXPECT_EQ(Shown(cookies), c.cookies) << c.block;
        EXPECT_EQ(Shown(location), c.location) << c.block;
    }
}

TEST(HeaderLines, AHundredThousandSetCookieLinesAreCollectedAndMergedWhole) {
    constexpr int kLines = 100000;
    std::string block = "HTTP/1.1 200 OK\r\n";
    std::string sent;  // as many cookies sent: "s<n>=old" and "c<n>=old" by turns
    for (int n = 0; n < kLines; ++n) {
        block += "Set-Cookie: c" + std::to_string(n) + "=v" + std::to_string(n) + "; path=/\r\n";
        sent += (n % 2 ? "c" : "s") + std::to_string(n) + "=old; ";
    }
    block += "Content-Length: 0\r\n\r\n";
    sent += "s0=old";  // an old name twice: only its first entry is taken

    OwnedText cookies, location;
    VisitHeaderLines(block.c_str(), cookies, location);
    OwnedText collected = OwnedText::CopyOf(cookies.view());
    FinishCookies(collected, nullptr, true);
    std::string text = collected.c_str();
    EXPECT_EQ(std::count(text.begin(), text.end(), ';'), kLines - 1);
    EXPECT_EQ(text.rfind("c0=v0; c1=v1; c2=v2; ", 0), 0u);
    EXPECT_TRUE(text.ends_with("; c99998=v99998; c99999=v99999"));

    // Merged: the new entries, then the sent ones whose names the response does not set.
    FinishCookies(cookies, sent.c_str(), true);
    text = cookies.c_str();
    EXPECT_EQ(std::count(text.begin(), text.end(), ';'), kLines + kLines / 2 - 1);
    EXPECT_NE(text.find("; c99999=v99999; s0=old; s2=old; s4=old; "), std::string::npos);
    EXPECT_TRUE(text.ends_with("; s99996=old; s99998=old"));
    EXPECT_EQ(location.Get(), nullptr);
}

}  // namespace
}  // namespace quenlark
