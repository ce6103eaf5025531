// The stand-in file-sharing service (tools/standin) seen from a Windows test under wine: started
// on the port of the origin compiled into the DLL, asked what it was sent, and stopped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/ControlLine.h"

namespace quenlark::testing_support {

// One request as the stand-in recorded it, bodies unescaped.
struct StandinRecord {
    std::string method;
    std::string target;  // path and query
    int status = 0;
    std::uint64_t bodySent = 0;  // response body bytes that went out
    std::uint64_t bodyDeclared = 0;
    std::string requestBody;
    std::string responseBody;  // not of generated files; cut at 4096 bytes
};

class Standin {
public:
    // Starts the stand-in on `port` and waits until it listens; check Ready().
    explicit Standin(int port);
    // Stops it, if still running.
    ~Standin();
    Standin(const Standin&) = delete;
    Standin& operator=(const Standin&) = delete;

    [[nodiscard]] bool Ready() const { return control_.Open(); }
    [[nodiscard]] const std::string& StartError() const { return error_; }

    // Every request recorded since the start or the last Reset(), oldest first.
    [[nodiscard]] std::vector<StandinRecord> Requests();
    void Reset();
    // Polls Requests() until one satisfies `match` (the server records a download only once
    // it has ended); false when none does within the bound.
    bool WaitForRequest(const std::function<bool(const StandinRecord&)>& match, StandinRecord& found);

    // Ends the stand-in and waits until its port refuses connections.
    void Stop();

private:
    int port_;
    ControlLine control_;
    std::string error_;
};

// The port of an https origin such as "https://127.0.0.1:48443" (443 when it names none).
int PortOfOrigin(std::string_view origin);
// True when something accepts connections on 127.0.0.1:port.
bool PortAcceptsConnections(int port);

}  // namespace quenlark::testing_support
