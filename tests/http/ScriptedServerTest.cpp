// The scripted server answers byte for byte what it was given, on each of its listeners, and
// records what it received. (Under wine the HTTP stack accepts the three test certificates even
// without the ignore flags, so the flags' own effect cannot be observed here.)
#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <string>

#include "http/support/ScriptedServer.h"
#include "http/support/ScriptedServerFixture.h"

namespace quenlark::testing_support {
namespace {

using ScriptedServerTest = ScriptedServerFixture;

// A minimal GET through WinHTTP; returns the Win32 error of the first failing call (0: none).
DWORD BareGet(int port, bool secure, bool ignoreCertificateErrors, std::string& body) {
    HINTERNET session =
        ::WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    ::WinHttpSetTimeouts(session, 10000, 10000, 10000, 10000);
    HINTERNET connection = ::WinHttpConnect(session, L"127.0.0.1", static_cast<INTERNET_PORT>(port), 0);
    HINTERNET request = ::WinHttpOpenRequest(connection, L"GET", L"/probe", nullptr, WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0);
    DWORD error = 0;
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                  SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
    if (ignoreCertificateErrors) ::WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    if (!::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request, nullptr)) {
        error = ::GetLastError();
    } else {
        DWORD available = 0;
        while (::WinHttpQueryDataAvailable(request, &available) && available > 0) {
            std::string chunk(available, '\0');
            DWORD read = 0;
            if (!::WinHttpReadData(request, chunk.data(), available, &read)) break;
            body.append(chunk, 0, read);
        }
    }
    ::WinHttpCloseHandle(request);
    ::WinHttpCloseHandle(connection);
    ::WinHttpCloseHandle(session);
    return error;
}

TEST_F(ScriptedServerTest, AnswersEachListenerWithTheScriptedBytesAndRecordsTheRequests) {
    const int ports[] = {server_->HttpPort(), server_->HttpsPort(), server_->WrongHostPort(), server_->ExpiredPort()};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(server_->Script("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nbody-" + std::to_string(i)));
        std::string body;
        EXPECT_EQ(BareGet(ports[i], i > 0, true, body), 0u) << "listener " << i;
        EXPECT_EQ(body, "body-" + std::to_string(i));
    }
    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const auto& request : requests) {
        EXPECT_EQ(RequestLine(request), "GET /probe HTTP/1.1");
        EXPECT_NE(RequestHeaders(request).find("Host: 127.0.0.1:"), std::string::npos);
    }
}

TEST_F(ScriptedServerTest, DataFilesAreSentWithCrLfHeaderLines) {
    ASSERT_TRUE(server_->ScriptFile("server-selftest.http"));
    std::string body;
    ASSERT_EQ(BareGet(server_->HttpPort(), false, true, body), 0u);
    EXPECT_EQ(body, "line one\nline two\n");  // the body keeps its own line ends
}

TEST_F(ScriptedServerTest, DroppedConnectionGivesAnErrorAndIsStillRecorded) {
    ASSERT_TRUE(server_->Script("", "drop"));
    std::string body;
    EXPECT_NE(BareGet(server_->HttpPort(), false, true, body), 0u);
    EXPECT_GE(server_->Requests().size(), 1u);
}

}  // namespace
}  // namespace quenlark::testing_support
