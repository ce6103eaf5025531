// HttpGetUrl through the real DLL against the stand-in service: one share variant per case of
// the resolver (tools/standin/sharesite.py lists them), with its message boxes recorded.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>

#include "e2e/support/EndToEnd.h"
#include "e2e/support/SiteRecords.h"

namespace quenlark::testing_support {
namespace {

using Strings = std::vector<std::string>;

class ShareLinkEndToEnd : public EndToEnd {};

// QUENLARK_TRACE pointed at a fresh file of the test's own while it lives; unset afterwards.
class TraceFile {
public:
    explicit TraceFile(const char* path) : path_(path) {
        std::remove(path_.c_str());
        ::SetEnvironmentVariableA("QUENLARK_TRACE", path_.c_str());
    }
    ~TraceFile() {
        ::SetEnvironmentVariableA("QUENLARK_TRACE", nullptr);
        std::remove(path_.c_str());
    }
    // The lines written so far; empty when the file does not exist.
    Strings Lines() const {
        Strings lines;
        std::ifstream in(path_, std::ios::binary);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // The lines that match `pattern` (std::regex, whole line).
    Strings Matching(const std::string& pattern) const {
        Strings found;
        const std::regex expression(pattern);
        for (const std::string& line : Lines()) {
            if (std::regex_match(line, expression)) found.push_back(line);
        }
        return found;
    }

private:
    std::string path_;
};

// Escapes a text for use inside a std::regex pattern.
std::string Literal(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// The form with the sign alone, and the one that also carries the short ajaxdata value and the
// websign (the doubled ampersand is the resolver's own).
const char kShortForm[] = "action=downprocess&sign=[A-Za-z0-9_-]{60}&ves=1";
const char kLongForm[] = "action=downprocess&signs=r4x9&&sign=[A-Za-z0-9_-]{60}&ves=1&websign=[0-9a-f]{16}";

struct ResolvedCase {
    const char* code;
    const char* form;
};

class ResolvedShare : public ShareLinkEndToEnd, public ::testing::WithParamInterface<ResolvedCase> {};

// The site accepts a form only with the sign (and websign) that its frame page issued, so a link
// means the values were scraped exactly.
TEST_P(ResolvedShare, FollowsTheDownloadFramePostsWhatItCarriesAndJoinsTheAnswer) {
    const ResolvedCase& share = GetParam();
    const std::string link = Resolve(ShareUrl(share.code));
    const auto records = standin_->Requests();
    EXPECT_EQ(Route(records), (Strings{"GET /s/" + std::string(share.code), "GET /fn", "POST /ajaxm.php"}));
    const StandinRecord* posted = PostedForm(records);
    ASSERT_NE(posted, nullptr);
    EXPECT_TRUE(std::regex_match(posted->requestBody, std::regex(share.form))) << posted->requestBody;
    const std::string path = AnsweredPath(records);
    ASSERT_FALSE(path.empty()) << "the site refused the form: " << posted->responseBody;
    EXPECT_EQ(link, Origin() + "/file/" + path);
    EXPECT_TRUE(Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    FramesAndSignMarkers, ResolvedShare,
    ::testing::Values(ResolvedCase{"pdownload", kShortForm},         // first frame taken, pdownload marker
                      ResolvedCase{"second-frame", kShortForm},      // first frame src under 10 bytes
                      ResolvedCase{"off-origin-frame", kShortForm},  // first frame src names another host
                      ResolvedCase{"ajaxdata", kShortForm},          // long ajaxdata value is the sign
                      ResolvedCase{"websign", kLongForm},            // short ajaxdata, sign and websign
                      ResolvedCase{"blank-ajaxdata", kShortForm},    // ajaxdata of ASCII and full-width spaces
                      ResolvedCase{"capitals", kShortForm},          // VAR PDOWNLOAD
                      ResolvedCase{"nested-answer", kShortForm},     // an answer nested 64 deep, the most taken
                      ResolvedCase{"padded-answer", kShortForm}),    // byte-order mark and line breaks around it
    [](const auto& info) {
        std::string name = info.param.code;
        for (char& c : name) c = c == '-' ? '_' : c;
        return name;
    });

void ExpectOneBox(const std::vector<RecordedBox>& boxes, const char* text) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].caption, kBoxCaption);
    EXPECT_EQ(boxes[0].flags, 0u);
    EXPECT_EQ(boxes[0].owner, nullptr);
}

TEST_F(ShareLinkEndToEnd, AFramePageWithoutSignShowsTheSignatureBoxAndPostsNothing) {
    EXPECT_EQ(Resolve(ShareUrl("no-sign")), "");
    ExpectOneBox(Boxes(), kSignatureBoxText);
    EXPECT_EQ(Route(standin_->Requests()), (Strings{"GET /s/no-sign", "GET /fn"}));
}

// A withdrawn share has no frame: the frame address is the bare origin, whose home page has no sign.
TEST_F(ShareLinkEndToEnd, APageWithoutFrameLeadsToTheOriginAndTheSignatureBox) {
    EXPECT_EQ(Resolve(ShareUrl("withdrawn-share")), "");
    ExpectOneBox(Boxes(), kSignatureBoxText);
    EXPECT_EQ(Route(standin_->Requests()), (Strings{"GET /s/withdrawn-share", "GET /"}));
}

TEST_F(ShareLinkEndToEnd, ADomEndingInSlashIsJoinedAsItStands) {
    const std::string link = Resolve(ShareUrl("dom-slash"));
    const std::string path = AnsweredPath(standin_->Requests());
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(link, Origin() + "//file/" + path);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ShareLinkEndToEnd, AMissingUrlLeavesItsPartOfTheLinkEmptyWithoutABox) {
    EXPECT_EQ(Resolve(ShareUrl("no-url")), Origin() + "/file/");
    EXPECT_TRUE(Boxes().empty());
}

// Without the download host the rest is no link: the JSON box, as for an answer that is no JSON.
TEST_F(ShareLinkEndToEnd, AMissingDomShowsTheJsonBoxAndGivesNothing) {
    EXPECT_EQ(Resolve(ShareUrl("no-dom")), "");
    EXPECT_FALSE(AnsweredPath(standin_->Requests()).empty());  // the site did answer with a path
    ExpectOneBox(Boxes(), kJsonBoxText);
}

// A bare "/file/" would pass for a link: an answer that is no JSON gives nothing.
TEST_F(ShareLinkEndToEnd, AnAnswerThatIsNoJsonShowsTheJsonBoxAndGivesNothing) {
    EXPECT_EQ(Resolve(ShareUrl("not-json")), "");
    ExpectOneBox(Boxes(), kJsonBoxText);
}

// Nesting far deeper than the script engine is given (64 levels) is refused before it is evaluated.
TEST_F(ShareLinkEndToEnd, AnAnswerNestedFarTooDeepShowsTheJsonBoxAndGivesNothing) {
    EXPECT_EQ(Resolve(ShareUrl("deeply-nested-answer")), "");
    EXPECT_FALSE(AnsweredPath(standin_->Requests()).empty());  // the site did answer with a link
    ExpectOneBox(Boxes(), kJsonBoxText);
}

TEST_F(ShareLinkEndToEnd, EscapedCharactersOfTheAnswerArriveInCodePage936) {
    const std::string link = Resolve(ShareUrl("chinese-name"));
    const std::string path = AnsweredPath(standin_->Requests());
    const std::string token = path.substr(0, path.find('/'));
    ASSERT_FALSE(token.empty());
    EXPECT_EQ(link, Origin() + "/file/" + token + "/\xBC\xBE\xB6\xC8\xB1\xA8\xB8\xE6.xlsx");  // 季度报告.xlsx
}

TEST_F(ShareLinkEndToEnd, TheTraceTellsEachExchangeAndWhatTheResolverReadWithoutChangingTheResult) {
    const TraceFile trace("trace-resolution.log");
    const std::string link = Resolve(ShareUrl("websign"));
    ASSERT_FALSE(link.empty());
    const Strings lines = trace.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "[Quenlark] call: HttpGetUrl \"" + ShareUrl("websign") + "\"");
    EXPECT_EQ(lines.back(), "[Quenlark] result: HttpGetUrl gives \"" + link + "\"");
    const std::string ok = R"( -> "200 OK", [1-9][0-9]* body bytes, [0-9.]+ ms)";
    EXPECT_EQ(trace.Matching(R"(\[Quenlark\] exchange: GET )" + Literal(ShareUrl("websign")) + ok).size(), 1u);
    EXPECT_EQ(trace.Matching(R"(\[Quenlark\] exchange: GET )" + Literal(Origin()) + "/fn\\?.*" + ok).size(), 1u);
    EXPECT_EQ(trace.Matching(R"(\[Quenlark\] exchange: POST )" + Literal(Origin()) + "/ajaxm\\.php" + ok).size(), 1u);
    EXPECT_EQ(trace.Matching(R"(\[Quenlark\] resolve: download frame "/fn\?.+")").size(), 1u);
    EXPECT_EQ(trace.Matching(R"(\[Quenlark\] resolve: sign between ".*" and ".*": "[A-Za-z0-9_-]{60}")").size(), 1u);
    EXPECT_EQ(trace.Matching(R"(\[Quenlark\] resolve: answer: dom ".+", url ".+")").size(), 1u);
    EXPECT_TRUE(trace.Matching(R"(\[Quenlark\] failure: .*)").empty());

    // An answer that is no JSON: the trace says so before the box.
    const TraceFile second("trace-not-json.log");
    EXPECT_EQ(Resolve(ShareUrl("not-json")), "");
    const Strings failures = second.Matching(R"(\[Quenlark\] failure: .*)");
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_TRUE(failures[0].starts_with("[Quenlark] failure: the answer is no JSON object the engine takes: "))
        << failures[0];
    EXPECT_EQ(failures[1], std::string("[Quenlark] failure: message box \"") + kJsonBoxText + "\"");
    ExpectOneBox(Boxes(), kJsonBoxText);
}

// The same DLL with nothing listening on the service's origin.
class WithTheServiceDown : public LoadedDll {
protected:
    void SetUp() override {
        LoadedDll::SetUp();
        ASSERT_FALSE(PortAcceptsConnections(Port())) << "something listens on " << Origin();
    }
};

TEST_F(WithTheServiceDown, ResolvingShowsOneSignatureBoxAndGivesNothing) {
    EXPECT_EQ(Resolve(ShareUrl("pdownload")), "");
    ExpectOneBox(Boxes(), kSignatureBoxText);
}

TEST_F(WithTheServiceDown, TheTraceNamesTheFailingFunctionAndItsErrorAndIsOffUnlessAsked) {
    {
        const TraceFile off("trace-off.log");
        ::SetEnvironmentVariableA("QUENLARK_TRACE", "0");
        EXPECT_EQ(Location(Origin() + "/file/abc"), "");
        EXPECT_TRUE(off.Lines().empty());
    }
    const TraceFile trace("trace-service-down.log");
    EXPECT_EQ(Resolve(ShareUrl("pdownload")), "");
    ExpectOneBox(Boxes(), kSignatureBoxText);  // the same box as without the trace
    const Strings failures = trace.Matching(R"(\[Quenlark\] failure: .*)");
    ASSERT_FALSE(failures.empty());
    // The first failure is the cause: the share page's exchange, with its function and error.
    EXPECT_TRUE(std::regex_match(failures.front(),
                                 std::regex(R"(\[Quenlark\] failure: GET )" + Literal(ShareUrl("pdownload")) +
                                            R"(: "711 .+" at WinHttpSendRequest, error 12029: .+ \([0-9.]+ ms\))")))
        << failures.front();
    EXPECT_EQ(trace.Lines().back(), "[Quenlark] result: HttpGetUrl gives \"\" (no result)");
}

TEST_F(WithTheServiceDown, TheProbeGivesNothingAndShowsNoBox) {
    EXPECT_EQ(Location(Origin() + "/file/abc"), "");
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace quenlark::testing_support
