// The network part of one exchange: the WinHTTP calls from opening the session to the last
// byte of the body. Everything it needs is copied into a TransferPlan and everything it
// produces lands in a TransferResult, so that it can run on a thread of its own and be left
// behind at its deadline without touching its caller's data (see TransferWorker.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "http/ResponseBodyBuffer.h"
#include "http/TransferLimits.h"

namespace quenlark {

// The request, with every text already in the form WinHTTP takes.
struct TransferPlan {
    std::wstring url;
    std::wstring verb;
    std::wstring proxy;               // host:port; empty: no proxy
    std::wstring userName, password;  // set only when both were given
    std::wstring proxyUser, proxyPassword;
    bool sendsCookies = false;
    bool noRedirect = false;
    std::wstring headerBlock;  // empty: nothing to add
    std::string body;
    DWORD stepTimeoutMs = 0;
    TransferLimits limits;
    bool readBody = true;  // false: the exchange ends once the headers are in
};

// How the body read ended.
enum class BodyRead {
    Whole,
    Failed,     // a read failed: part of a body is no body
    OverLimit,  // the body is larger, or takes longer, than allowed: it is not delivered
};

// Where an exchange failed, for the trace: the WinHTTP function and the error it left, or
// what a limit stopped.
struct StepFailure {
    std::string_view function;  // empty: no function failed
    DWORD error = 0;
    const char* limit = nullptr;
};

struct TransferResult {
    const char* failedStatus = nullptr;  // a failure of the request phase: its status text
    bool pumpAtExit = true;              // cleared by the failures after which no messages are dispatched
    StepFailure failure;
    bool outOfMemory = false;  // the transfer could not allocate what it needed
    bool headersRead = false;  // `rawHeaders` holds the response's header block
    std::wstring rawHeaders;
    BodyRead read = BodyRead::Whole;
    ResponseBodyBuffer body;
};

class TransferHandoff;

// The proxy name given to the session: "http=" + proxy for plain http (the proxy then serves
// that scheme only), the proxy alone for https; empty without a proxy.
[[nodiscard]] std::wstring ProxyNameFor(const std::wstring& proxy, bool secure);

// Runs the transfer on the calling thread. With a handoff, the header block goes to it as soon
// as it is in, and the transfer ends early once the waiting thread has stopped waiting.
void RunTransfer(const TransferPlan& plan, TransferResult& result, TransferHandoff* handoff) noexcept;

}  // namespace quenlark
