#include "http/Transfer.h"

#include <winhttp.h>

#include <algorithm>
#include <cctype>
#include <new>
#include <optional>
#include <string_view>

#include "http/StatusTexts.h"
#include "http/TransferHandoff.h"
#include "platform/UniqueHandle.h"

namespace quenlark {

namespace {

constexpr DWORD kIgnoreCertificateErrors = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                           SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                           SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
static_assert(kIgnoreCertificateErrors == 0x3300);

constexpr const char* kTooLarge = "the body is larger than allowed";
constexpr const char* kTooSlow = "the exchange took longer than allowed";

bool SetDwordOption(HINTERNET handle, DWORD option, DWORD value) {
    return ::WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

// The WinHTTP function that a call's text names: its first identifier that starts so.
std::string_view FunctionOf(std::string_view call) {
    const std::size_t at = call.find("WinHttp");
    if (at == std::string_view::npos) return call;
    std::size_t end = at;
    while (end < call.size() && (std::isalnum(static_cast<unsigned char>(call[end])) || call[end] == '_')) ++end;
    return call.substr(at, end - at);
}

// Records the failing call and the error it left; returns the status text.
const char* Failed(StepFailure& failure, const char* status, std::string_view call) {
    failure.error = ::GetLastError();
    failure.function = FunctionOf(call);
    return status;
}

// One step of the exchange: a WinHTTP call that returns false (or an owner left empty) when it
// fails. The step then ends its phase with its status text, and the trace learns the function
// from the call's own text.
#define QUENLARK_WINHTTP_STEP(status, call)                                     \
    do {                                                                        \
        if (!(call)) return Failed(failure, (status), std::string_view(#call)); \
    } while (false)

// Takes a handle that a WinHTTP call opened; false when it opened none.
bool Opened(UniqueInternetHandle& owner, HINTERNET handle) {
    owner.Reset(handle);
    return handle != nullptr;
}

// The three handles; members end in reverse order, so the request closes first, then the
// connection, then the session.
struct Handles {
    UniqueInternetHandle session;
    UniqueInternetHandle connection;
    UniqueInternetHandle request;
};

// Opens the session, connection and request for the URL; returns the failure text, or null.
const char* Open(const TransferPlan& plan, Handles& h, StepFailure& failure) {
    QUENLARK_WINHTTP_STEP(kStatusNoWinHttp, ::WinHttpCheckPlatform());
    // No URL holds a control character; a CR or LF would end the request line, and what follows
    // it would go out as headers of its own (the probe's URL is often a link a server gave).
    if (std::any_of(plan.url.begin(), plan.url.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; })) {
        failure.limit = "the URL holds a control character";
        return kStatusBadUrl;
    }

    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
        static_cast<DWORD>(-1);
    QUENLARK_WINHTTP_STEP(kStatusBadUrl,
                          ::WinHttpCrackUrl(plan.url.c_str(), static_cast<DWORD>(plan.url.size()), 0, &parts));
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path = L"/";
    if (parts.dwUrlPathLength >= 1) {
        path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
        if (parts.dwExtraInfoLength) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    }
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    // Only a proxy that the caller names is used; the system's settings are never consulted.
    const DWORD accessType = plan.proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    const std::wstring proxyName = ProxyNameFor(plan.proxy, secure);
    QUENLARK_WINHTTP_STEP(kStatusNoSession, Opened(h.session, ::WinHttpOpen(nullptr, accessType, proxyName.c_str(),
                                                                            WINHTTP_NO_PROXY_BYPASS, 0)));
    const int t = static_cast<int>(plan.limits.Cap(plan.stepTimeoutMs));
    QUENLARK_WINHTTP_STEP(kStatusTimeouts, ::WinHttpSetTimeouts(h.session.Get(), t, t, t, t));
    QUENLARK_WINHTTP_STEP(kStatusNoConnection,
                          Opened(h.connection, ::WinHttpConnect(h.session.Get(), host.c_str(), parts.nPort, 0)));
    QUENLARK_WINHTTP_STEP(
        kStatusNoRequest,
        Opened(h.request,
               ::WinHttpOpenRequest(h.connection.Get(), plan.verb.c_str(), path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                    WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0)));
    // Waiting for the response headers has a time-out of its own, which WinHttpSetTimeouts
    // does not set everywhere (90 seconds by default): without this a silent server holds the
    // exchange far beyond the time-out asked for.
    SetDwordOption(h.request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, static_cast<DWORD>(t));
    return nullptr;
}

// Credentials and options of the request; returns the failure text, or null.
const char* SetOptions(const TransferPlan& plan, HINTERNET request, StepFailure& failure) {
    if (!plan.userName.empty()) {
        QUENLARK_WINHTTP_STEP(kStatusCredentials,
                              ::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                                                      plan.userName.c_str(), plan.password.c_str(), nullptr));
    }
    if (!plan.proxyUser.empty()) {
        QUENLARK_WINHTTP_STEP(kStatusCredentials,
                              ::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC,
                                                      plan.proxyUser.c_str(), plan.proxyPassword.c_str(), nullptr));
    }
    DWORD certificates = kIgnoreCertificateErrors;
    QUENLARK_WINHTTP_STEP(kStatusCertificateOptions, ::WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS,
                                                                        &certificates, sizeof certificates));
    // With cookies to send, certificate revocation checking is switched on (the feature that
    // WINHTTP_OPTION_ENABLE_FEATURE with 1 enables); WinHTTP's own cookie handling stays as it is.
    const DWORD cookieSwitch = plan.sendsCookies ? WINHTTP_OPTION_ENABLE_FEATURE : WINHTTP_OPTION_DISABLE_FEATURE;
    DWORD cookieFeature = plan.sendsCookies ? WINHTTP_ENABLE_SSL_REVOCATION : WINHTTP_DISABLE_COOKIES;
    QUENLARK_WINHTTP_STEP(kStatusCookieSwitch,
                          ::WinHttpSetOption(request, cookieSwitch, &cookieFeature, sizeof cookieFeature));
    if (plan.noRedirect) {
        DWORD redirects = WINHTTP_DISABLE_REDIRECTS;
        QUENLARK_WINHTTP_STEP(kStatusRedirectSwitch, ::WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE,
                                                                        &redirects, sizeof redirects));
    }
    return nullptr;
}

// Headers, body, and the wait for the response; returns the failure text, or null.
const char* SendAndReceive(const TransferPlan& plan, HINTERNET request, StepFailure& failure) {
    if (!plan.headerBlock.empty()) {
        QUENLARK_WINHTTP_STEP(kStatusHeaders, ::WinHttpAddRequestHeaders(request, plan.headerBlock.c_str(),
                                                                         static_cast<DWORD>(plan.headerBlock.size()),
                                                                         WINHTTP_ADDREQ_FLAG_ADD));
    }
    auto* body = plan.body.empty() ? nullptr : const_cast<char*>(plan.body.data());
    const auto bodyLength = static_cast<DWORD>(plan.body.size());
    QUENLARK_WINHTTP_STEP(kStatusSendFailed, ::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, body,
                                                                  bodyLength, bodyLength, 0));
    // What is left of the exchange's time after sending.
    if (plan.limits.hasDeadline)
        SetDwordOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, plan.limits.Cap(plan.stepTimeoutMs));
    QUENLARK_WINHTTP_STEP(kStatusNoResponse, ::WinHttpReceiveResponse(request, nullptr));
    return nullptr;
}

// The raw header block, or false when it cannot be read.
bool QueryRawHeaders(HINTERNET request, std::wstring& headers) {
    DWORD size = 0;
    ::WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                          WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
    std::wstring block(size / sizeof(wchar_t) + 1, L'\0');
    DWORD index = 0;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, block.data(),
                               &size, &index)) {
        return false;
    }
    block.resize(std::min<std::size_t>(block.size(), size / sizeof(wchar_t)));
    headers = std::move(block);
    return true;
}

// The Content-Length of the response, when it has one that is a plain number.
std::optional<std::uint64_t> AnnouncedLength(HINTERNET request) {
    wchar_t text[24] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                               WINHTTP_NO_HEADER_INDEX) ||
        !text[0]) {
        return std::nullopt;
    }
    std::uint64_t length = 0;
    for (const wchar_t* at = text; *at; ++at) {
        if (*at < L'0' || *at > L'9' || at - text >= 18) return std::nullopt;
        length = length * 10 + static_cast<std::uint64_t>(*at - L'0');
    }
    return length;
}

// Whether the exchange must stop now: its time is up, or nobody waits for it any more.
bool OutOfTime(const TransferPlan& plan, const TransferHandoff* handoff) {
    return plan.limits.Passed() || (handoff && handoff->Abandoned());
}

// Reads the body in chunks of the size announced each time, within the limits. A failed query
// or read ends the body as a failure: what came before it is not the whole body.
BodyRead ReadBody(const TransferPlan& plan, HINTERNET request, const TransferHandoff* handoff, ResponseBodyBuffer& body,
                  StepFailure& failure) {
    const TransferLimits& limits = plan.limits;
    const std::optional<std::uint64_t> length = AnnouncedLength(request);
    if (length && *length > limits.maxBodyBytes) {
        failure.limit = kTooLarge;
        return BodyRead::OverLimit;
    }
    // With the length known the chunks land in the final block: a large body is then written
    // once instead of twice.
    if (length) body.ExpectSize(*length);
    for (;;) {
        if (OutOfTime(plan, handoff)) {
            failure.limit = kTooSlow;
            return BodyRead::OverLimit;
        }
        // However slowly the bytes come, no single wait outlasts the exchange's time.
        if (limits.hasDeadline) SetDwordOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, limits.Cap(plan.stepTimeoutMs));
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(request, &available)) {
            (void)Failed(failure, nullptr, "WinHttpQueryDataAvailable");
            if (!OutOfTime(plan, handoff)) return BodyRead::Failed;
            failure = StepFailure{};
            failure.limit = kTooSlow;
            return BodyRead::OverLimit;
        }
        if (available == 0) return BodyRead::Whole;
        if (available > limits.maxBodyBytes - body.size()) {
            failure.limit = kTooLarge;
            return BodyRead::OverLimit;
        }
        char* chunk = body.NextChunk(available);
        DWORD read = 0;
        if (!::WinHttpReadData(request, chunk, available, &read)) {
            (void)Failed(failure, nullptr, "WinHttpReadData");
            body.Commit(0);
            if (!OutOfTime(plan, handoff)) return BodyRead::Failed;
            failure = StepFailure{};
            failure.limit = kTooSlow;
            return BodyRead::OverLimit;
        }
        body.Commit(read);
    }
}

void Run(const TransferPlan& plan, TransferResult& result, TransferHandoff* handoff) {
    Handles h;
    if ((result.failedStatus = Open(plan, h, result.failure))) return;
    HINTERNET request = h.request.Get();
    // Failures of the option steps leave the message queue alone.
    if ((result.failedStatus = SetOptions(plan, request, result.failure))) {
        result.pumpAtExit = false;
        return;
    }
    if ((result.failedStatus = SendAndReceive(plan, request, result.failure))) return;

    // The headers first, so that a waiter that gives up during the body still has them.
    if (!QueryRawHeaders(request, result.rawHeaders)) return;
    result.headersRead = true;
    if (handoff && !handoff->PublishHeaders(result.rawHeaders)) return;
    if (plan.readBody) result.read = ReadBody(plan, request, handoff, result.body, result.failure);
}

}  // namespace

std::wstring ProxyNameFor(const std::wstring& proxy, bool secure) {
    return proxy.empty() || secure ? proxy : L"http=" + proxy;
}

void RunTransfer(const TransferPlan& plan, TransferResult& result, TransferHandoff* handoff) noexcept {
    try {
        Run(plan, result, handoff);
    } catch (const std::bad_alloc&) {
        // Only the buffers of the header block and the body allocate; the exchange is over.
        result.outOfMemory = true;
    }
}

}  // namespace quenlark
