// The resolver's three exchanges against the scripted loopback server: what it sends at each
// step, which page values it picks, and what the user is told when it cannot go on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/support/ScriptedServer.h"
#include "http/support/ScriptedServerFixture.h"
#include "resolve/ServiceConstants.h"
#include "resolve/ShareLinkResolver.h"
#include "script/ComOwners.h"
#include "script/ScriptHost.h"
#include "support/RecordedBox.h"

namespace quenlark {
namespace {

using testing_support::RecordedBox;
using testing_support::RequestBody;
using testing_support::RequestHeaders;
using testing_support::RequestLine;
using testing_support::ScriptedServer;

const std::string kSharePage =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>report.pdf</title></head>\n<body>\n"
    "<div class=\"file\">report.pdf <span>2.1 M</span></div>\n"
    "<iframe class=\"ifr2\" name=\"1620372\" src=\"/fn?AjQBbVQ4ADYFMA\" frameborder=\"0\" scrolling=\"no\"></iframe>\n"
    "</body></html>\n";

// The first frame's source is too short to be the download frame; the second one is it.
const std::string kShareWithShortFirstFrame =
    "<html><body>\n<iframe name=\"ad\" src=\"/ad\" frameborder=\"0\"></iframe>\n"
    "<iframe name=\"dl\" src=\"/fn?Bm9WZlc3AzQ\" frameborder=\"0\"></iframe>\n</body></html>\n";

const std::string kFrameWithPdownload =
    "<html><body><script type=\"text/javascript\">\n"
    "var pdownload = 'UDAHaVg2AjsBNwUzAT';\nvar ajaxdata = '?ctdf';\n</script></body></html>\n";

// A short (but not blank) ajaxdata and the signature inside the request data.
const std::string kFrameWithSigns =
    "<html><body><script type=\"text/javascript\">\n"
    "var ajaxdata = '?ctdf';\n"
    "$.ajax({ type : 'post', url : '/ajaxm.php', data : { 'action':'downprocess','signs':ajaxdata,"
    "'sign':'VjEFbgk_Bm9WZlc3AzQ','ves':1,'websign':'7' }, dataType : 'json' });\n</script></body></html>\n";

const std::string kFrameWithoutSign = "<html><body>busy, try again later</body></html>\n";

const std::string kAnswer =
    "{\"zt\":1,\"dom\":\"https:\\/\\/dl.tarnwell.test\",\"url\":\"?BmAHPw5rV2QIBVE\",\"inf\":0}";

std::string Response(const std::string& body, const char* type = "text/html; charset=utf-8") {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(type) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class ShareLinkResolverTest : public testing_support::ScriptedServerFixture {
protected:
    [[nodiscard]] const std::vector<RecordedBox>& boxes() const { return recorder_.boxes(); }

    static void Serve(const std::string& sharePage, const std::string& framePage, const std::string& answer) {
        ASSERT_TRUE(server_->Script(Response(sharePage)));
        ASSERT_TRUE(server_->Script(Response(framePage)));
        ASSERT_TRUE(server_->Script(Response(answer, "application/json")));
    }
    static std::string Resolve(const char* path = "/i/abc123") {
        const std::string origin = "https://127.0.0.1:" + std::to_string(server_->HttpsPort());
        return ResolveShareLink((origin + path).c_str(), {.serviceOrigin = origin.c_str()}).c_str();
    }
    static std::string Origin() { return "https://127.0.0.1:" + std::to_string(server_->HttpsPort()); }

    testing_support::BoxRecorder recorder_;  // one per test: the fixture is made anew for each
};

TEST_F(ShareLinkResolverTest, FollowsTheFrameAndPostsTheSignature) {
    Serve(kSharePage, kFrameWithPdownload, kAnswer);
    EXPECT_EQ(Resolve(), "https://dl.tarnwell.test/file/?BmAHPw5rV2QIBVE");
    EXPECT_TRUE(boxes().empty());

    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 3u);
    const std::string userAgent = std::string("User-Agent: ") + kDefaultUserAgent + "\r\n";
    EXPECT_EQ(RequestLine(requests[0]), "GET /i/abc123 HTTP/1.1");
    EXPECT_EQ(RequestHeaders(requests[0]).rfind(userAgent + "Accept: ", 0), 0u);

    // The frame is asked for with itself as the referrer.
    EXPECT_EQ(RequestLine(requests[1]), "GET /fn?AjQBbVQ4ADYFMA HTTP/1.1");
    EXPECT_EQ(RequestHeaders(requests[1]).rfind(userAgent + "Referer: " + Origin() + "/fn?AjQBbVQ4ADYFMA\r\n", 0), 0u);

    EXPECT_EQ(RequestLine(requests[2]), "POST /ajaxm.php HTTP/1.1");
    EXPECT_NE(RequestHeaders(requests[2]).find("Content-Type: application/x-www-form-urlencoded\r\n"),
              std::string::npos);
    EXPECT_EQ(RequestBody(requests[2]), "action=downprocess&sign=UDAHaVg2AjsBNwUzAT&ves=1");
}

TEST_F(ShareLinkResolverTest, TakesTheSecondFrameAndPostsSignsWithTheWebsign) {
    Serve(kShareWithShortFirstFrame, kFrameWithSigns, kAnswer);
    EXPECT_EQ(Resolve(), "https://dl.tarnwell.test/file/?BmAHPw5rV2QIBVE");
    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(RequestLine(requests[1]), "GET /fn?Bm9WZlc3AzQ HTTP/1.1");
    EXPECT_EQ(RequestBody(requests[2]), "action=downprocess&signs=?ctdf&&sign=VjEFbgk_Bm9WZlc3AzQ&ves=1&websign=7");
}

TEST_F(ShareLinkResolverTest, WithoutASignatureTheUserIsToldAndNothingIsPosted) {
    Serve(kSharePage, kFrameWithoutSign, kAnswer);
    EXPECT_EQ(Resolve(), "");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, kSignFailedMessage);
    EXPECT_EQ(boxes()[0].flags, 0u);
    EXPECT_EQ(boxes()[0].caption, "\xD0\xC5\xCF\xA2");  // 信息
    EXPECT_EQ(server_->Requests().size(), 2u);
}

struct AnswerCase {
    const char* what;
    std::string answer;
    std::string link;  // empty: no link, and the JSON box
};

// Whitespace around the value and a byte-order mark before it are no part of the answer; an
// answer without a download host gives nothing, as an answer that is no JSON does.
TEST_F(ShareLinkResolverTest, AnswersGiveTheLinkOrTheJsonBox) {
    const std::string link = "https://dl.tarnwell.test/file/?BmAHPw5rV2QIBVE";
    const AnswerCase cases[] = {
        {"as the service writes it", kAnswer, link},
        {"CR LF after it", kAnswer + "\r\n", link},
        {"a blank line before it", "\r\n" + kAnswer, link},
        {"LF, tab and spaces around it", "\n \t" + kAnswer + " \n\n", link},
        {"a byte-order mark", "\xEF\xBB\xBF" + kAnswer, link},
        {"a byte-order mark and line breaks", "\xEF\xBB\xBF\r\n" + kAnswer + "\r\n", link},
        {"a line break inside a string", "{\"dom\":\"https://d.example\",\"url\":\"a\r\nb\"}",
         "https://d.example/file/a\r\nb"},
        {"dom alone", "{\"dom\":\"https://d.example\"}", "https://d.example/file/"},
        {"a byte-order mark after a line break", "\r\n\xEF\xBB\xBF" + kAnswer, ""},
        {"a line break between members", "{\"dom\":\"https://d.example\",\r\n\"url\":\"x\"}", ""},
        {"no JSON", "<html>502 Bad Gateway</html>", ""},  // not "/file/" on its own
        {"an empty object", "{}", ""},
        {"a refusal", "{\"zt\":0,\"inf\":\"\\u7b7e\\u540d\\u5df2\\u8fc7\\u671f\"}", ""},
        {"url alone", "{\"zt\":1,\"url\":\"?BmAHPw5rV2QIBVE\"}", ""},
        {"an empty dom", "{\"dom\":\"\",\"url\":\"?BmAHPw5rV2QIBVE\"}", ""},
        {"a dom that is no string", "{\"dom\":7,\"url\":\"?BmAHPw5rV2QIBVE\"}", ""},
        {"an empty body", "", ""},
    };
    for (const AnswerCase& c : cases) {
        server_->Reset();
        const std::size_t boxesBefore = boxes().size();
        Serve(kSharePage, kFrameWithPdownload, c.answer);
        EXPECT_EQ(Resolve(), c.link) << c.what;
        EXPECT_EQ(server_->Requests().size(), 3u) << c.what;
        std::vector<std::string> shown;
        for (std::size_t i = boxesBefore; i < boxes().size(); ++i) shown.push_back(boxes()[i].text);
        EXPECT_EQ(shown, c.link.empty() ? std::vector<std::string>{kJsonFailedMessage} : std::vector<std::string>{})
            << c.what;
    }
    for (const RecordedBox& box : boxes()) EXPECT_EQ(box.flags, 0u);
}

// The answer may take 1 MiB, padding included; one byte more is a failed exchange, while the
// pages keep their own, larger limit.
TEST_F(ShareLinkResolverTest, AnAnswerOverOneMebibyteIsAFailedExchange) {
    constexpr std::size_t kLimit = std::size_t{1} << 20;
    const std::string link = "https://dl.tarnwell.test/file/?BmAHPw5rV2QIBVE";
    const std::string largeShare = kSharePage + std::string(2 * kLimit, ' ');
    Serve(largeShare, kFrameWithPdownload, kAnswer + std::string(kLimit - kAnswer.size(), '\n'));
    EXPECT_EQ(Resolve(), link);
    EXPECT_TRUE(boxes().empty());

    server_->Reset();
    Serve(kSharePage, kFrameWithPdownload, kAnswer + std::string(kLimit + 1 - kAnswer.size(), ' '));
    EXPECT_EQ(Resolve(), "");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, kJsonFailedMessage);
    EXPECT_EQ(server_->Requests().size(), 3u);
}

struct FrameCase {
    const char* what;
    std::string source;  // of the first frame; the second is /fn?Bm9WZlc3AzQ
    bool firstIsFollowed;
};

// Only a path on the service's origin is followed: a source that could name another host or end
// the request line or the Referer header is passed over like one too short to be the frame.
TEST_F(ShareLinkResolverTest, AFrameIsFollowedOnlyToAPathOnTheServicesOrigin) {
    const std::string otherHost = "127.0.0.1:" + std::to_string(server_->WrongHostPort());
    const FrameCase cases[] = {
        {"a path", "/fn?AjQBbVQ4ADYFMA", true},
        {"user information before another host", "@" + otherHost + "/fn?AjQBbVQ4ADYFMA", false},
        {"another host without a scheme", "//" + otherHost + "/fn?AjQBbVQ4ADYFMA", false},
        {"another host after a backslash", "/\\" + otherHost + "/fn?AjQBbVQ4ADYFMA", false},
        {"an address of its own", "https://" + otherHost + "/fn?AjQBbVQ4ADYFMA", false},
        {"a port after the origin's", "1/fn?AjQBbVQ4ADYFMA", false},
        {"a relative path", "fn?AjQBbVQ4ADYFMA", false},
        {"a space first", " /fn?AjQBbVQ4ADYFMA", false},
        {"a line feed", "/fn?AjQB\nbVQ4ADYFMA", false},
        {"a carriage return", "/fn?AjQB\rbVQ4ADYFMA", false},
        {"a header of its own", "/fn?AjQBbVQ4ADYFMA\r\nX-Injected: 1", false},
        {"a tab", "/fn?AjQB\tbVQ4ADYFMA", false},
        {"a delete", "/fn?AjQB\x7F-bVQ4ADYFMA", false},
        {"a character beyond ASCII", "/fn?AjQB\xE4\xB8\x8A-bVQ4ADYFMA", false},  // 上 (U+4E0A) in UTF-8
    };
    for (const FrameCase& c : cases) {
        server_->Reset();
        const std::string share = "<html><body>\n<iframe name=\"a\" src=\"" + c.source +
                                  "\" frameborder=\"0\"></iframe>\n"
                                  "<iframe name=\"dl\" src=\"/fn?Bm9WZlc3AzQ\" frameborder=\"0\"></iframe>\n";
        Serve(share, kFrameWithPdownload, kAnswer);
        EXPECT_EQ(Resolve(), "https://dl.tarnwell.test/file/?BmAHPw5rV2QIBVE") << c.what;
        const auto requests = server_->Requests();
        EXPECT_EQ(requests.size(), 3u) << c.what;
        if (requests.size() < 2) continue;
        const std::string path = c.firstIsFollowed ? c.source : "/fn?Bm9WZlc3AzQ";
        EXPECT_EQ(RequestLine(requests[1]), "GET " + path + " HTTP/1.1") << c.what;
        EXPECT_NE(RequestHeaders(requests[1]).find("\r\nReferer: " + Origin() + path + "\r\n"), std::string::npos)
            << c.what;
        EXPECT_EQ(RequestHeaders(requests[1]).find("X-Injected"), std::string::npos) << c.what;
    }
    EXPECT_TRUE(boxes().empty());
}

// A second frame is followed only to such a path too; without one the frame address is the origin.
TEST_F(ShareLinkResolverTest, ASecondFrameOffTheOriginLeavesNoFrame) {
    const std::string share =
        "<html><body>\n<iframe name=\"ad\" src=\"/ad\" frameborder=\"0\"></iframe>\n"
        "<iframe name=\"dl\" src=\"@127.0.0.1:" +
        std::to_string(server_->WrongHostPort()) + "/fn?Bm9WZlc3AzQ\" frameborder=\"0\"></iframe>\n";
    Serve(share, kFrameWithoutSign, kAnswer);
    EXPECT_EQ(Resolve(), "");
    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(RequestLine(requests[1]), "GET / HTTP/1.1");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, kSignFailedMessage);
}

// Only in a prefix without any script engine (tests/script-mode-prefix.sh no-script-engines):
// with neither the system's objects nor the library's own host, the user sees the regex box and
// then the JSON box, as where the system objects alone were all there was.
TEST_F(ShareLinkResolverTest, WithoutAnyScriptEngineTheRegexAndJsonBoxesAppear) {
    {
        ComApartmentUse com;
        com.Enter();
        ScriptHost host;
        if (SUCCEEDED(host.Start())) GTEST_SKIP() << "a script engine is here";
    }
    Serve(kSharePage, kFrameWithPdownload, kAnswer);
    EXPECT_EQ(Resolve(), "");
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].text, kRegexFailedMessage);
    EXPECT_EQ(boxes()[0].flags, 0x10u);  // MB_ICONSTOP
    EXPECT_EQ(boxes()[1].text, kJsonFailedMessage);
    EXPECT_EQ(boxes()[1].flags, 0u);
    EXPECT_EQ(server_->Requests().size(), 3u);
}

TEST_F(ShareLinkResolverTest, AnUnreachableServiceEndsAtTheSignature) {
    const std::string closed = "https://127.0.0.1:1";
    EXPECT_STREQ(ResolveShareLink((closed + "/i/abc").c_str(), {.serviceOrigin = closed.c_str()}).c_str(), "");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, kSignFailedMessage);
}

TEST_F(ShareLinkResolverTest, AShareOrFramePageOverALimitCountsAsAFailedExchange) {
    const std::string origin = Origin();
    const std::string share = origin + "/i/abc123";
    // A share page over the size limit is no page: the frame address is the origin alone.
    std::string longShare = kSharePage + std::string(5000, ' ');
    Serve(longShare, kFrameWithPdownload, kAnswer);
    EXPECT_STREQ(ResolveShareLink(share.c_str(), {.serviceOrigin = origin.c_str(), .maxBodyBytes = 4096}).c_str(),
                 "https://dl.tarnwell.test/file/?BmAHPw5rV2QIBVE");
    auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(RequestLine(requests[1]), "GET / HTTP/1.1");

    // A frame page that trickles past the time limit has no sign.
    server_->Reset();
    ASSERT_TRUE(server_->Script(Response(kSharePage)));
    ASSERT_TRUE(server_->Script(Response(kFrameWithPdownload), "trickle=20"));
    EXPECT_STREQ(ResolveShareLink(share.c_str(), {.serviceOrigin = origin.c_str(), .maxExchangeMs = 1000}).c_str(), "");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, kSignFailedMessage);
    EXPECT_EQ(server_->Requests().size(), 2u);
}

TEST_F(ShareLinkResolverTest, AShareHeaderBlockThatNeverEndsIsAFailedExchangeInTime) {
    // A byte every 200 ms would go on for minutes: the exchange ends at its time and the run
    // goes on without the page.
    const std::string origin = Origin();
    const std::string share = origin + "/i/abc123";
    const std::string head = "HTTP/1.1 200 OK\r\n";
    ASSERT_TRUE(server_->Script(head + "X-Pad: " + std::string(2000, 'p') + "\r\n\r\n" + kSharePage,
                                "drip=200 from=" + std::to_string(head.size())));
    ASSERT_TRUE(server_->Script(Response(kFrameWithPdownload)));
    ASSERT_TRUE(server_->Script(Response(kAnswer, "application/json")));
    EXPECT_STREQ(ResolveShareLink(share.c_str(), {.serviceOrigin = origin.c_str(), .maxExchangeMs = 1000}).c_str(),
                 "https://dl.tarnwell.test/file/?BmAHPw5rV2QIBVE");
    EXPECT_GE(server_->Active(), 1) << "the share page's exchange waited for the peer to stop";
    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(RequestLine(requests[1]), "GET / HTTP/1.1");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ShareLinkResolverTest, AFrameLineThatMakesTheEngineBacktrackCostsNothing) {
    // Openings without a border before the real frame: the engine alone would take hours.
    std::string share = "<html><body>\n";
    for (int i = 0; i < 4000; ++i) share += "<iframe name=\"ad\" src=\"/ad\" ";
    share += "\n" + kSharePage;
    Serve(share, kFrameWithPdownload, kAnswer);
    EXPECT_EQ(Resolve(), "https://dl.tarnwell.test/file/?BmAHPw5rV2QIBVE");
    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(RequestLine(requests[1]), "GET /fn?AjQBbVQ4ADYFMA HTTP/1.1");
}

TEST(ShareLinkResolverTexts, MessagesAreCodePage936) {
    // 获取签名失败 at the start of the signature message, 解析json at the start of the other.
    EXPECT_EQ(std::string(kSignFailedMessage).rfind("\xBB\xF1\xC8\xA1\xC7\xA9\xC3\xFB\xCA\xA7\xB0\xDC,", 0), 0u);
    EXPECT_EQ(std::string(kJsonFailedMessage).rfind("\xBD\xE2\xCE\xF6json", 0), 0u);
}

}  // namespace
}  // namespace quenlark
