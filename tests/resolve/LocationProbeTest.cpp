// The probe against the scripted loopback server: which line it reads, and that it reads
// nothing of the body.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/support/ScriptedServer.h"
#include "http/support/ScriptedServerFixture.h"
#include "resolve/LocationProbe.h"
#include "resolve/ServiceConstants.h"
#include "runtime/Memory.h"

namespace quenlark {
namespace {

using testing_support::RequestHeaders;
using testing_support::RequestLine;
using testing_support::ScriptedServer;

class LocationProbeTest : public testing_support::ScriptedServerFixture {
protected:
    static OwnedText Probe(const std::string& headerLines) {
        EXPECT_TRUE(server_->Script("HTTP/1.1 302 Found\r\n" + headerLines + "Content-Length: 0\r\n\r\n"));
        return LocationProbe(server_->HttpUrl("/d/abc").c_str());
    }
};

TEST_F(LocationProbeTest, ReturnsTheValueAsItStandsWithoutFollowingIt) {
    const OwnedText where = Probe("Location: https://files.example.test/f/7?k=v \r\n");
    EXPECT_STREQ(where.c_str(), "https://files.example.test/f/7?k=v ");  // not trimmed
    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 1u);  // the redirect is not followed
    EXPECT_EQ(RequestLine(requests[0]), "GET /d/abc HTTP/1.1");
    EXPECT_EQ(RequestHeaders(requests[0]).rfind(std::string("User-Agent: ") + kDefaultUserAgent + "\r\n", 0), 0u);
}

TEST_F(LocationProbeTest, TheNameMatchesInAnyCaseButOnlyWithItsBlank) {
    EXPECT_STREQ(Probe("LOCATION: /upper\r\n").c_str(), "/upper");
    EXPECT_STREQ(Probe("location: /lower\r\n").c_str(), "/lower");
    EXPECT_STREQ(Probe("Location:/no-blank\r\n").c_str(), "");
}

TEST_F(LocationProbeTest, AContentLocationLineIsNotTakenForTheLocation) {
    EXPECT_STREQ(Probe("Content-Location: /about-the-body\r\nLocation: /the-target\r\n").c_str(), "/the-target");
    EXPECT_STREQ(Probe("Content-Location: /about-the-body\r\n").c_str(), "");
}

TEST_F(LocationProbeTest, EmptyValueIsNullAndNoLineIsTheEmptyText) {
    EXPECT_EQ(Probe("Location: \r\n").Get(), nullptr);
    const OwnedText none = Probe("Server: loopback\r\n");
    ASSERT_NE(none.Get(), nullptr);
    EXPECT_STREQ(none.Get(), "");
}

TEST_F(LocationProbeTest, AFileAnsweredDirectlyIsNotDownloaded) {
    // The server counts a response once its sending is over, which for the previous test's
    // response can come after the fixture's reset: start from a quiet, empty count.
    bool quiet = false;
    for (int i = 0; i < 40 && !quiet; ++i) {
        ::Sleep(25);
        quiet = server_->SentBytes().empty();
        if (!quiet) server_->Reset();
    }
    ASSERT_TRUE(quiet);
    ASSERT_TRUE(server_->Generate(200, 512u << 20));
    const OwnedText where = LocationProbe(server_->HttpUrl("/big.bin").c_str());
    EXPECT_STREQ(where.c_str(), "");
    // The server learns that the client went away when its sending fails; wait for that.
    std::vector<std::uint64_t> sent;
    for (int i = 0; i < 200 && sent.empty(); ++i) {
        ::Sleep(25);
        sent = server_->SentBytes();
    }
    ASSERT_EQ(sent.size(), 1u);
    // What fits in the socket buffers got out; a read body would have drawn all 512 MiB.
    EXPECT_LT(sent[0], 64u << 20);
}

TEST_F(LocationProbeTest, AHeaderBlockThatNeverEndsGivesTheEmptyTextInTime) {
    // The Location line comes at once, then the block goes on a byte every 200 ms for minutes:
    // an unfinished block is no answer.
    const std::string start = "HTTP/1.1 302 Found\r\nLocation: /never-finished\r\n";
    ASSERT_TRUE(server_->Script(start + "X-Pad: " + std::string(2000, 'p') + "\r\n\r\n",
                                "drip=200 from=" + std::to_string(start.size())));
    EXPECT_STREQ(LocationProbe(server_->HttpUrl("/d/slow").c_str(), {.maxExchangeMs = 1000}).c_str(), "");
    EXPECT_GE(server_->Active(), 1) << "the probe waited for the peer to stop";
}

TEST_F(LocationProbeTest, AFailedRequestGivesTheEmptyText) {
    EXPECT_STREQ(LocationProbe("").c_str(), "");
    EXPECT_STREQ(LocationProbe(nullptr).c_str(), "");
    EXPECT_STREQ(LocationProbe("http://no-such-host.invalid/x").c_str(), "");
}

}  // namespace
}  // namespace quenlark
