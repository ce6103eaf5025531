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
#include "http/ResponseDecoding.h"
#include "http/Transfer.h"
#include "http/TransferWorker.h"
#include "platform/Platform.h"
#include "platform/UniqueResource.h"
#include "runtime/Events.h"
#include "runtime/TextCommands.h"
#include "runtime/Texts.h"
#include "runtime/Trace.h"
#include "text/WideText.h"

namespace quenlark {

namespace {

// By method code (RequestMethod).
const char* const kVerbs[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
static_assert(std::size(kVerbs) == kMethodConnect + 1);

constexpr DWORD kDefaultTimeoutMs = 30000;
// A byte-set counts its bytes in 32 bits; a larger body cannot be delivered.
constexpr std::uint64_t kMaxBodyBytes = INT32_MAX;

bool HasBytes(const char* text) { return text && *text; }

std::wstring Wide(const char* text) { return Cp936ToWide(text ? std::string_view(text) : std::string_view()); }

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

// FormatMessage's own buffers are the system's local allocations.
void FreeLocal(wchar_t* text) noexcept { ::LocalFree(text); }

// The system's text for a WinHTTP or system error code, in code page 936; the code's name
// where the system has no text for it.
OwnedText ErrorText(DWORD error) {
    UniqueResource<wchar_t*, &FreeLocal> text;  // made by the system's allocator
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE winhttp = ::GetModuleHandleW(L"winhttp.dll");
    DWORD length = winhttp ? ::FormatMessageW(flags | FORMAT_MESSAGE_FROM_HMODULE, winhttp, error, 0,
                                              reinterpret_cast<wchar_t*>(text.Put()), 0, nullptr)
                           : 0;
    if (length == 0) {
        length = ::FormatMessageW(flags, nullptr, error, 0, reinterpret_cast<wchar_t*>(text.Put()), 0, nullptr);
    }
    std::wstring_view view(text ? text.Get() : L"", length);
    while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n' || view.back() == L' '))
        view.remove_suffix(1);
    OwnedText result = WideToCp936(view);
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
    if (!failure.function.empty()) {
        const OwnedText text = ErrorText(failure.error);
        trace::Line("failure", "%s %s: \"%s\" at %.*s, error %lu: %s (%.1f ms)", verb, url, status.c_str(),
                    static_cast<int>(failure.function.size()), failure.function.data(),
                    static_cast<unsigned long>(failure.error), text.c_str(), ms);
    } else if (failure.limit) {
        trace::Line("failure", "%s %s: \"%s\", %s (%.1f ms)", verb, url, status.c_str(), failure.limit, ms);
    } else {
        trace::Line("exchange", "%s %s -> \"%s\", %lu body bytes, %.1f ms", verb, url, status.c_str(),
                    static_cast<unsigned long>(bodyBytes), ms);
    }
}

// The time-out of every step, in milliseconds.
DWORD StepTimeoutMs(const WebRequestParams& p) {
    const std::int32_t timeoutSeconds = p.timeoutSeconds.value_or(0);
    const std::int64_t timeoutMs = timeoutSeconds > 0 ? std::int64_t{timeoutSeconds} * 1000 : kDefaultTimeoutMs;
    return static_cast<DWORD>(timeoutMs > INT_MAX ? INT_MAX : timeoutMs);
}

// Everything the transfer needs, copied from the caller's parameters, the header block
// assembled. The time of the exchange starts now.
TransferPlan MakePlan(const WebRequestParams& p, ResponseBody bodyMode) {
    const std::int32_t method = p.method.value_or(kMethodGet);
    TransferPlan plan;
    plan.limits.maxBodyBytes = std::min(p.limits.maxBodyBytes.value_or(kMaxBodyBytes), kMaxBodyBytes);
    plan.limits.hasDeadline = p.limits.maxTotalMs.has_value();
    plan.limits.deadline = ::GetTickCount64() + p.limits.maxTotalMs.value_or(0);
    plan.url = Wide(p.url);
    plan.verb = Wide(RequestVerb(method));
    plan.proxy = Wide(p.proxy);
    if (HasBytes(p.userName) && HasBytes(p.password)) {
        plan.userName = Wide(p.userName);
        plan.password = Wide(p.password);
    }
    if (HasBytes(p.proxyUser) && HasBytes(p.proxyPassword)) {
        plan.proxyUser = Wide(p.proxyUser);
        plan.proxyPassword = Wide(p.proxyPassword);
    }
    plan.sendsCookies = HasBytes(p.sendCookies);
    plan.noRedirect = p.noRedirect.value_or(false);
    const OwnedText block = BuildRequestHeaders(p.requestHeaders, method, p.sendCookies,
                                                p.addDefaultHeaders.value_or(true), p.normalizeHeaders.value_or(true));
    plan.headerBlock = Wide(block.Get());
    // The body goes out whatever the method; the bytes win over the text.
    if (ByteSetSize(p.postBytes) > 0) {
        plan.body.assign(reinterpret_cast<const char*>(ByteSetBytes(p.postBytes)), ByteSetSize(p.postBytes));
    } else if (HasBytes(p.postText)) {
        plan.body = p.postText;
    }
    plan.stepTimeoutMs = StepTimeoutMs(p);
    plan.readBody = bodyMode == ResponseBody::Read;
    return plan;
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
    const std::uint64_t startMicros = trace::On() ? platform::MicrosecondCount() : 0;

    TransferPlan plan = MakePlan(p, bodyMode);
    TransferResult transfer;
    if (plan.limits.hasDeadline) {
        RunTransferWithDeadline(std::move(plan), transfer);
    } else {
        RunTransfer(plan, transfer, nullptr);
    }
    if (transfer.outOfMemory) return {};

    OwnedText result;
    std::size_t bodyBytes = 0;
    if (transfer.failedStatus) {
        status = OwnedText::CopyOf(transfer.failedStatus);
    } else if (transfer.headersRead) {
        responseHeaders = WideToCp936(transfer.rawHeaders);
        status = StatusTextOf(responseHeaders.Get());
        VisitHeaderLines(responseHeaders.Get(), returnCookies, location);
        FinishCookies(returnCookies, p.sendCookies, p.mergeCookies.value_or(true));
        if (transfer.read != BodyRead::Whole) {
            // Part of a body is no body: the exchange failed, whatever the status line said.
            status = OwnedText::CopyOf(kStatusReadFailed);
            responseBytes.Reset();
        } else if (bodyMode == ResponseBody::Read) {
            // Decoded before the bytes are handed out, so the body is never held three times.
            OwnedByteSet body = transfer.body.TakeByteSet();
            bodyBytes = body.size();
            if (decoder) result = decoder->Decode(body);
            responseBytes = std::move(body);
        }
    }
    if (transfer.pumpAtExit) ProcessEvents();
    if (trace::On()) TraceExchange(p, status, transfer.failure, bodyBytes, startMicros);
    return result;
}

}  // namespace

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
