// Quenlark_Location through the real DLL against the stand-in service: the direct links that
// HttpGetUrl gives, the redirects they answer with, and the files behind them.
#include <gtest/gtest.h>

#include "e2e/support/EndToEnd.h"
#include "e2e/support/SiteRecords.h"

namespace quenlark::testing_support {
namespace {

using Strings = std::vector<std::string>;

class LocationEndToEnd : public EndToEnd {
protected:
    // Resolves a share and gives its direct link and the site's token of the file.
    struct DirectLink {
        std::string link;
        std::string token;
    };
    DirectLink ResolveShare(const char* code) {
        DirectLink result{Resolve(ShareUrl(code)), AnsweredPath(standin_->Requests())};
        standin_->Reset();
        return result;
    }
    std::string FileAddress(const DirectLink& direct, const char* name) const {
        return Origin() + "/dl/" + direct.token + "/" + name;
    }
};

TEST_F(LocationEndToEnd, TheDirectLinkGivesTheFileAddressAndTheRedirectIsNotFollowed) {
    const DirectLink direct = ResolveShare("pdownload");
    ASSERT_FALSE(direct.token.empty());
    EXPECT_EQ(Location(direct.link), FileAddress(direct, "harbour-survey-2023.pdf"));
    EXPECT_EQ(Route(standin_->Requests()), (Strings{"GET /file/" + direct.token}));
    EXPECT_TRUE(Boxes().empty());
}

// "Location: " also stands inside "Content-Location: "; the header must be found as a line of its own.
TEST_F(LocationEndToEnd, AContentLocationLineBeforeLocationDoesNotShadowIt) {
    const DirectLink direct = ResolveShare("content-location");
    ASSERT_FALSE(direct.token.empty());
    EXPECT_EQ(Location(direct.link), FileAddress(direct, "salt-marsh-survey.pdf"));
}

TEST_F(LocationEndToEnd, AHeaderNameInLowerCaseIsFound) {
    const DirectLink direct = ResolveShare("lower-case");
    ASSERT_FALSE(direct.token.empty());
    EXPECT_EQ(Location(direct.link), FileAddress(direct, "weir-gate-manual.pdf"));
}

TEST_F(LocationEndToEnd, AnAnswerWithoutLocationGivesAnEmptyResult) {
    const DirectLink direct = ResolveShare("ajaxdata");
    const std::string file = Location(direct.link);
    ASSERT_EQ(file, FileAddress(direct, "tidal-gauge-readings.csv"));
    EXPECT_EQ(Location(file), "");
    EXPECT_EQ(Location(ShareUrl("ajaxdata")), "");
}

// A 1 GiB answer: the probe must end the exchange at the headers instead of taking the body,
// which would block the host for the whole download and could exhaust a 32-bit host's memory.
TEST_F(LocationEndToEnd, AnAnswerWithALargeBodyEndsWithoutTakingTheBody) {
    const DirectLink direct = ResolveShare("large-file");
    const std::string file = Location(direct.link);
    ASSERT_EQ(file, FileAddress(direct, "tollgrove-archive-full.bin"));
    standin_->Reset();

    EXPECT_EQ(Location(file), "");
    StandinRecord download;
    ASSERT_TRUE(standin_->WaitForRequest(
        [](const StandinRecord& r) { return r.method == "GET" && r.target.rfind("/dl/", 0) == 0; }, download));
    EXPECT_EQ(download.bodyDeclared, 1ull << 30);
    EXPECT_LT(download.bodySent, download.bodyDeclared) << "the whole body was taken";
}

}  // namespace
}  // namespace quenlark::testing_support
