// The scripted loopback server (server/scripted_server.py) seen from a test: starts it, scripts
// its responses and reads back the raw requests it received. One server per test program;
// Reset() between tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/ControlLine.h"

namespace quenlark::testing_support {

class ScriptedServer {
public:
    // Starts the server and waits until it listens. Check Ready() before use.
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    [[nodiscard]] bool Ready() const { return control_.Open(); }
    [[nodiscard]] const std::string& StartError() const { return error_; }

    // Ports of the listeners.
    [[nodiscard]] int HttpPort() const { return http_; }
    [[nodiscard]] int HttpsPort() const { return https_; }
    [[nodiscard]] int WrongHostPort() const { return wrongHost_; }
    [[nodiscard]] int ExpiredPort() const { return expired_; }
    [[nodiscard]] std::string HttpUrl(std::string_view path) const;
    [[nodiscard]] std::string HttpsUrl(std::string_view path) const;
    // HTTPS through the relay, whose answers SlowRelay() slows down.
    [[nodiscard]] std::string RelayUrl(std::string_view path) const;

    // Options: "close", "drop", "reset", "stall=MS", "cut=N", "pause=MS", "delay=MS", "trickle=MS",
    // "drip=MS from=N", "chunked=N", separated by blanks (see server/scripted_server.py).
    bool Script(std::string_view rawResponse, std::string_view options = {});
    // The reply of a case file of tests/http/data/ with the file's options, then `options`.
    bool ScriptFile(std::string_view name, std::string_view options = {});
    // A response with a generated body of `size` bytes.
    bool Generate(int status, std::uint64_t size, std::string_view options = {});
    // Every request received since the last Reset(), raw, in order.
    [[nodiscard]] std::vector<std::string> Requests();
    // For each response served since the last Reset(), the bytes that reached the client.
    [[nodiscard]] std::vector<std::uint64_t> SentBytes();
    // How many responses are being sent right now (a drip that has not ended counts), and
    // relayed connections open.
    [[nodiscard]] int Active();
    // The relay passes on what the https listener sends one byte every `ms` milliseconds, once
    // the client has sent `after` bytes.
    bool SlowRelay(int ms, int after = 0);
    // Forgets queued responses and recorded requests, stops every drip, unslows the relay.
    void Reset();

private:
    std::string Command(const std::string& line);

    ControlLine control_;
    std::string error_;
    int http_ = 0;
    int https_ = 0;
    int wrongHost_ = 0;
    int expired_ = 0;
    int relay_ = 0;
};

// The first line of a raw request ("GET /x HTTP/1.1").
std::string RequestLine(const std::string& rawRequest);
// The header block of a raw request without the request line and the blank line.
std::string RequestHeaders(const std::string& rawRequest);
// What follows the blank line.
std::string RequestBody(const std::string& rawRequest);

}  // namespace quenlark::testing_support
