#include "http/WebRequest.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <string>

#include "http/Cookies.h"
#include "http/HeaderLines.h"
#include "http/RequestHeaders.h"
#include "http/ResponseBodyBuffer.h"
#include "http/ResponseDecoding.h"
#include "platform/Platform.h"
#include "platform/UniqueHandle.h"
#include "platform/WideText.h"
#include "runtime/Events.h"
#include "runtime/TextCommands.h"
#include "runtime/Trace.h"
#include "runtime/Values.h"

namespace quenlark {

const char kStatusNoWinHttp[] = "700 当前系统不支持WinHttp服务!";
const char kStatusBadUrl[] = "701 解析URL地址失败!";
const char kStatusNoSession[] = "702 创建WinHttp会话失败!";
const char kStatusNoConnection[] = "703 创建WinHttp连接失败!";
const char kStatusNoRequest[] = "704 创建WinHttp请求失败!";
const char kStatusTimeouts[] = "705 设置超时时间失败!";
const char kStatusCredentials[] = "707 设置代理凭证失败!";
const char kStatusCertificateOptions[] = "忽略错误/证书错误  失败！";
const char kStatusCookieSwitch[] = "708 禁止自动设置Cookies失败!";
const char kStatusRedirectSwitch[] = "709 重定向设置失败!";
const char kStatusHeaders[] = "710 设置协议头失败!";
const char kStatusSendFailed[] = "711 发送请求失败!";
const char kStatusNoResponse[] = "712 服务器未响应!";
const char kStatusReadFailed[] = "713 读取数据失败!";

namespace {

using UniqueInternetHandle = UniqueHandle<HINTERNET, &::WinHttpCloseHandle>;

// By method code (RequestMethod).
const char* const kVerbs[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
static_assert(std::size(kVerbs) == kMethodConnect + 1);

constexpr DWORD kIgnoreCertificateErrors = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                           SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                           SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
static_assert(kIgnoreCertificateErrors == 0x3300);
constexpr DWORD kDefaultTimeoutMs = 30000;
// With cookies to send, certificate revocation checking is switched on (the feature that
// WINHTTP_OPTION_ENABLE_FEATURE with 1 enables); WinHTTP's own cookie handling stays as it is.

bool SetDwordOption(HINTERNET handle, DWORD option, DWORD value) {
    return ::WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

bool HasBytes(const char* text) { return text && *text; }

std::wstring Wide(const char* text) { return Cp936ToWide(text ? std::string_view(text) : std::string_view()); }

// A byte-set counts its bytes in 32 bits; a larger body cannot be delivered.
constexpr std::uint64_t kMaxBodyBytes = INT32_MAX;

// The limits with their defaults applied.
struct Limits {
    explicit Limits(const WebRequestLimits& given)
        : maxBodyBytes(std::min(given.maxBodyBytes.value_or(kMaxBodyBytes), kMaxBodyBytes)),
          hasDeadline(given.maxTotalMs.has_value()),
          deadline(::GetTickCount64() + given.maxTotalMs.value_or(0)) {}
    [[nodiscard]] bool Passed() const { return hasDeadline && ::GetTickCount64() >= deadline; }
    // The time-out for the next wait: `t`, or what is left of the exchange when that is less
    // (at least 1 ms: 0 would mean no time-out at all).
    [[nodiscard]] DWORD Cap(DWORD t) const {
        if (!hasDeadline) return t;
        const ULONGLONG now = ::GetTickCount64();
        const ULONGLONG left = now < deadline ? deadline - now : 1;
        return static_cast<DWORD>(std::min<ULONGLONG>(t, left));
    }

    std::uint64_t maxBodyBytes;
    bool hasDeadline;
    ULONGLONG deadline;
};

// How the body read ended.
enum class BodyRead {
    Whole,
    Failed,     // a read failed: what came before is kept
    OverLimit,  // the body is larger, or takes longer, than allowed: it is not delivered
};

// Where an exchange failed, for the trace: the WinHTTP function and the error it left, or
// what a limit stopped.
struct StepFailure {
    const char* function = nullptr;
    DWORD error = 0;
    const char* limit = nullptr;
};

// Records the failing function and its error; returns the status text.
const char* Failed(StepFailure& failure, const char* status, const char* function) {
    failure.error = ::GetLastError();
    failure.function = function;
    return status;
}

// The names of the WinHTTP errors an exchange meets most, for systems without their texts.
struct ErrorName {
    DWORD code;
    const char* name;
};
constexpr ErrorName kWinHttpErrorNames[] = {
    {ERROR_WINHTTP_TIMEOUT, "ERROR_WINHTTP_TIMEOUT"},
    {ERROR_WINHTTP_INTERNAL_ERROR, "ERROR_WINHTTP_INTERNAL_ERROR"},
    {ERROR_WINHTTP_INVALID_URL, "ERROR_WINHTTP_INVALID_URL"},
    {ERROR_WINHTTP_UNRECOGNIZED_SCHEME, "ERROR_WINHTTP_UNRECOGNIZED_SCHEME"},
    {ERROR_WINHTTP_NAME_NOT_RESOLVED, "ERROR_WINHTTP_NAME_NOT_RESOLVED"},
    {ERROR_WINHTTP_OPERATION_CANCELLED, "ERROR_WINHTTP_OPERATION_CANCELLED"},
    {ERROR_WINHTTP_CANNOT_CONNECT, "ERROR_WINHTTP_CANNOT_CONNECT"},
    {ERROR_WINHTTP_CONNECTION_ERROR, "ERROR_WINHTTP_CONNECTION_ERROR"},
    {ERROR_WINHTTP_INVALID_SERVER_RESPONSE, "ERROR_WINHTTP_INVALID_SERVER_RESPONSE"},
    {ERROR_WINHTTP_REDIRECT_FAILED, "ERROR_WINHTTP_REDIRECT_FAILED"},
    {ERROR_WINHTTP_SECURE_FAILURE, "ERROR_WINHTTP_SECURE_FAILURE"},
    {ERROR_WINHTTP_HEADER_NOT_FOUND, "ERROR_WINHTTP_HEADER_NOT_FOUND"},
    {ERROR_WINHTTP_INVALID_HEADER, "ERROR_WINHTTP_INVALID_HEADER"},
    {ERROR_WINHTTP_INCORRECT_HANDLE_STATE, "ERROR_WINHTTP_INCORRECT_HANDLE_STATE"},
};

// The system's text for a WinHTTP or system error code, in code page 936; the code's name
// where the system has no text for it.
OwnedText ErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE winhttp = ::GetModuleHandleW(L"winhttp.dll");
    DWORD length = winhttp ? ::FormatMessageW(flags | FORMAT_MESSAGE_FROM_HMODULE, winhttp, error, 0,
                                              reinterpret_cast<wchar_t*>(&text), 0, nullptr)
                           : 0;
    if (length == 0) {
        length = ::FormatMessageW(flags, nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    }
    std::wstring_view view(text ? text : L"", length);
    while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n' || view.back() == L' '))
        view.remove_suffix(1);
    OwnedText result = WideToCp936(view);
    ::LocalFree(text);
    if (result.empty()) {
        for (const ErrorName& known : kWinHttpErrorNames) {
            if (known.code == error) return OwnedText::CopyOf(known.name);
        }
    }
    return result;
}

// The trace line of a finished exchange.
void TraceExchange(const WebRequestParams& p, const OwnedText& status, const StepFailure& failure,
                   std::size_t bodyBytes, std::uint64_t startMicros) {
    const char* verb = RequestVerb(p.method.value_or(kMethodGet));
    const char* url = p.url ? p.url : "";
    const double ms = static_cast<double>(platform::MicrosecondCount() - startMicros) / 1000.0;
    if (failure.function) {
        const OwnedText text = ErrorText(failure.error);
        trace::Line("failure", "%s %s: \"%s\" at %s, error %lu: %s (%.1f ms)", verb, url, status.c_str(),
                    failure.function, static_cast<unsigned long>(failure.error), text.c_str(), ms);
    } else if (failure.limit) {
        trace::Line("failure", "%s %s: \"%s\", %s (%.1f ms)", verb, url, status.c_str(), failure.limit, ms);
    } else {
        trace::Line("exchange", "%s %s -> \"%s\", %lu body bytes, %.1f ms", verb, url, status.c_str(),
                    static_cast<unsigned long>(bodyBytes), ms);
    }
}

// What the request phase produced; the response phase runs only when `request` is open.
struct Exchange {
    UniqueInternetHandle session;
    UniqueInternetHandle connection;
    UniqueInternetHandle request;
    // Closed request first, then connection, then session.
    ~Exchange() {
        request.Reset();
        connection.Reset();
        session.Reset();
    }
};

// The time-out of every step, in milliseconds.
DWORD StepTimeoutMs(const WebRequestParams& p) {
    const std::int32_t timeoutSeconds = p.timeoutSeconds.value_or(0);
    const std::int64_t timeoutMs = timeoutSeconds > 0 ? std::int64_t{timeoutSeconds} * 1000 : kDefaultTimeoutMs;
    return static_cast<DWORD>(timeoutMs > INT_MAX ? INT_MAX : timeoutMs);
}

// Steps up to the response: returns the failure text, or null when the response has arrived.
// `pumpAtExit` is cleared for the failures after which no messages are dispatched.
const char* RunRequestPhase(const WebRequestParams& p, const Limits& limits, Exchange& x, bool& pumpAtExit,
                            StepFailure& failure) {
    const std::int32_t method = p.method.value_or(kMethodGet);

    if (!::WinHttpCheckPlatform()) return Failed(failure, kStatusNoWinHttp, "WinHttpCheckPlatform");

    std::wstring url = Wide(p.url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
        static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        return Failed(failure, kStatusBadUrl, "WinHttpCrackUrl");

    // The host makes a round trip through a code page 936 text, as every text of the library does.
    const OwnedText host = WideToCp936(std::wstring_view(parts.lpszHostName, parts.dwHostNameLength));
    std::wstring path = L"/";
    if (parts.dwUrlPathLength >= 1) {
        path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
        if (parts.dwExtraInfoLength) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    }
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    // Only a proxy that the caller names is used; the system's settings are never consulted.
    const DWORD accessType = HasBytes(p.proxy) ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY;
    const std::wstring proxyName = ProxyNameFor(p.proxy, secure);
    x.session.Reset(::WinHttpOpen(nullptr, accessType, proxyName.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
    if (!x.session) return Failed(failure, kStatusNoSession, "WinHttpOpen");

    const int t = static_cast<int>(limits.Cap(StepTimeoutMs(p)));
    if (!::WinHttpSetTimeouts(x.session.get(), t, t, t, t))
        return Failed(failure, kStatusTimeouts, "WinHttpSetTimeouts");

    x.connection.Reset(::WinHttpConnect(x.session.get(), Wide(host.get()).c_str(), parts.nPort, 0));
    if (!x.connection) return Failed(failure, kStatusNoConnection, "WinHttpConnect");

    const std::wstring verb = Wide(RequestVerb(method));
    x.request.Reset(::WinHttpOpenRequest(x.connection.get(), verb.c_str(), path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
    if (!x.request) return Failed(failure, kStatusNoRequest, "WinHttpOpenRequest");
    HINTERNET request = x.request.get();
    // Waiting for the response headers has a time-out of its own, which WinHttpSetTimeouts
    // does not set everywhere (90 seconds by default): without this a silent server holds the
    // caller far beyond the time-out asked for.
    SetDwordOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, static_cast<DWORD>(t));

    pumpAtExit = false;  // failures of the option steps leave the queue alone
    if (HasBytes(p.userName) && HasBytes(p.password) &&
        !::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                                 Wide(p.userName).c_str(), Wide(p.password).c_str(), nullptr)) {
        return Failed(failure, kStatusCredentials, "WinHttpSetCredentials");
    }
    if (HasBytes(p.proxyUser) && HasBytes(p.proxyPassword) &&
        !::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC,
                                 Wide(p.proxyUser).c_str(), Wide(p.proxyPassword).c_str(), nullptr)) {
        return Failed(failure, kStatusCredentials, "WinHttpSetCredentials");
    }
    if (!SetDwordOption(request, WINHTTP_OPTION_SECURITY_FLAGS, kIgnoreCertificateErrors))
        return Failed(failure, kStatusCertificateOptions, "WinHttpSetOption");
    const bool cookieSwitch =
        HasBytes(p.sendCookies) ? SetDwordOption(request, WINHTTP_OPTION_ENABLE_FEATURE, WINHTTP_ENABLE_SSL_REVOCATION)
                                : SetDwordOption(request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES);
    if (!cookieSwitch) return Failed(failure, kStatusCookieSwitch, "WinHttpSetOption");
    if (p.noRedirect.value_or(false) &&
        !SetDwordOption(request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS)) {
        return Failed(failure, kStatusRedirectSwitch, "WinHttpSetOption");
    }
    pumpAtExit = true;

    const OwnedText block = BuildRequestHeaders(p.requestHeaders, method, p.sendCookies,
                                                p.addDefaultHeaders.value_or(true), p.normalizeHeaders.value_or(true));
    // An empty block (no defaults, no headers, no cookies) has nothing to add.
    if (!block.empty()) {
        const std::wstring wideBlock = Wide(block.get());
        if (!::WinHttpAddRequestHeaders(request, wideBlock.c_str(), static_cast<DWORD>(wideBlock.size()),
                                        WINHTTP_ADDREQ_FLAG_ADD)) {
            return Failed(failure, kStatusHeaders, "WinHttpAddRequestHeaders");
        }
    }

    // The body goes out whatever the method; the bytes win over the text.
    const void* body = nullptr;
    DWORD bodyLength = 0;
    if (ByteSetSize(p.postBytes) > 0) {
        body = ByteSetBytes(p.postBytes);
        bodyLength = static_cast<DWORD>(ByteSetSize(p.postBytes));
    } else if (HasBytes(p.postText)) {
        body = p.postText;
        bodyLength = static_cast<DWORD>(std::strlen(p.postText));
    }
    if (!::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, const_cast<void*>(body), bodyLength,
                              bodyLength, 0)) {
        return Failed(failure, kStatusSendFailed, "WinHttpSendRequest");
    }
    // What is left of the exchange's time after sending.
    if (limits.hasDeadline)
        SetDwordOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, limits.Cap(static_cast<DWORD>(t)));
    if (!::WinHttpReceiveResponse(request, nullptr))
        return Failed(failure, kStatusNoResponse, "WinHttpReceiveResponse");
    return nullptr;
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

// Reads the body in chunks of the size announced each time, within the limits.
BodyRead ReadBody(HINTERNET request, const Limits& limits, DWORD timeoutMs, ResponseBodyBuffer& body,
                  StepFailure& failure) {
    constexpr const char* kTooLarge = "the body is larger than allowed";
    constexpr const char* kTooSlow = "the exchange took longer than allowed";
    const std::optional<std::uint64_t> length = AnnouncedLength(request);
    if (length && *length > limits.maxBodyBytes) {
        failure.limit = kTooLarge;
        return BodyRead::OverLimit;
    }
    // With the length known the chunks land in the final block: a large body is then written
    // once instead of twice.
    if (length) body.ExpectSize(*length);
    for (;;) {
        if (limits.Passed()) {
            failure.limit = kTooSlow;
            return BodyRead::OverLimit;
        }
        // However slowly the bytes come, no wait outlasts the exchange's time.
        if (limits.hasDeadline) SetDwordOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, limits.Cap(timeoutMs));
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(request, &available) || available < 1) {
            if (!limits.Passed()) return BodyRead::Whole;  // a failed query ends the body as well
            failure.limit = kTooSlow;
            return BodyRead::OverLimit;
        }
        if (available > limits.maxBodyBytes - body.size()) {
            failure.limit = kTooLarge;
            return BodyRead::OverLimit;
        }
        char* chunk = body.NextChunk(available);
        DWORD read = 0;
        if (!::WinHttpReadData(request, chunk, available, &read)) {
            (void)Failed(failure, nullptr, "WinHttpReadData");
            body.Commit(0);
            if (!limits.Passed()) return BodyRead::Failed;
            failure = {.limit = kTooSlow};
            return BodyRead::OverLimit;
        }
        body.Commit(read);
    }
}

// The raw header block, or false when it cannot be read.
bool QueryRawHeaders(HINTERNET request, OwnedText& headers) {
    DWORD size = 0;
    ::WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                          WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
    std::wstring block(size / sizeof(wchar_t) + 1, L'\0');
    DWORD index = 0;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, block.data(),
                               &size, &index)) {
        return false;
    }
    headers = WideToCp936(block);
    return true;
}

OwnedText RunExchange(const WebRequestParams& p, ResponseBody bodyMode) {
    OwnedText ownReturnCookies, ownHeaders, ownLocation, ownStatus;
    OwnedByteSet ownBytes;
    OwnedText& returnCookies = p.returnCookies ? *p.returnCookies : ownReturnCookies;
    OwnedText& responseHeaders = p.responseHeaders ? *p.responseHeaders : ownHeaders;
    OwnedText& location = p.location ? *p.location : ownLocation;
    OwnedText& status = p.status ? *p.status : ownStatus;
    OwnedByteSet& responseBytes = p.responseBytes ? *p.responseBytes : ownBytes;

    // Made at entry: it initialises COM on this thread. A caller that reads only the bytes
    // needs neither the decoder nor COM.
    std::optional<ResponseDecoder> decoder;
    if (p.decodeText.value_or(true) && bodyMode == ResponseBody::Read) decoder.emplace();
    const Limits limits(p.limits);
    OwnedText result;
    bool pumpAtExit = true;
    const std::uint64_t startMicros = trace::On() ? platform::MicrosecondCount() : 0;
    StepFailure failure;
    std::size_t bodyBytes = 0;
    {
        Exchange x;
        if (const char* failed = RunRequestPhase(p, limits, x, pumpAtExit, failure)) {
            status = OwnedText::CopyOf(failed);
        } else {
            ResponseBodyBuffer buffer;
            const BodyRead read = bodyMode == ResponseBody::Read
                                      ? ReadBody(x.request.get(), limits, StepTimeoutMs(p), buffer, failure)
                                      : BodyRead::Whole;
            if (read != BodyRead::Whole) status = OwnedText::CopyOf(kStatusReadFailed);
            OwnedText headers;
            if (QueryRawHeaders(x.request.get(), headers)) {
                responseHeaders = std::move(headers);
                status = StatusTextOf(responseHeaders.get());
                VisitHeaderLines(responseHeaders.get(), returnCookies, location);
                FinishCookies(returnCookies, p.sendCookies, p.mergeCookies.value_or(true));
                if (read == BodyRead::OverLimit) {
                    // Part of a body is no body: the exchange failed, whatever the status line said.
                    status = OwnedText::CopyOf(kStatusReadFailed);
                    responseBytes.Reset();
                } else {
                    // Decoded before the bytes are handed out, so the body is never held three times.
                    OwnedByteSet body = buffer.TakeByteSet();
                    bodyBytes = body.size();
                    if (decoder) result = decoder->Decode(body);
                    responseBytes = std::move(body);
                }
            }
        }
        if (pumpAtExit) ProcessEvents();
    }
    if (trace::On()) TraceExchange(p, status, failure, bodyBytes, startMicros);
    return result;
}

}  // namespace

std::wstring ProxyNameFor(const char* proxy, bool secure) {
    if (!HasBytes(proxy)) return {};
    return secure ? Wide(proxy) : L"http=" + Wide(proxy);
}

const char* RequestVerb(std::int32_t method) noexcept {
    return method >= 0 && method < static_cast<std::int32_t>(std::size(kVerbs)) ? kVerbs[method] : "GET";
}

OwnedText StatusTextOf(const char* responseHeaders) noexcept {
    // Only the status line counts: one shorter than 10 bytes gives no status, rather than a
    // piece of the next header line.
    const std::int32_t lineEnd = FindText(responseHeaders, "\r\n");
    if (lineEnd < 10) return {};
    return TextMiddle(responseHeaders, 10, lineEnd - 10);
}

OwnedText WebRequest(const WebRequestParams& params, ResponseBody body) noexcept {
    try {
        return RunExchange(params, body);
    } catch (...) {
        // Only allocation failures of the wide strings can get here; the exchange is over.
        return {};
    }
}

}  // namespace quenlark
