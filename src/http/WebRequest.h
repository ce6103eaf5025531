// One synchronous HTTP or HTTPS exchange through WinHTTP: the only code that touches the
// network. Returns the response body decoded to a code page 936 text, or the empty text when
// the exchange fails before the body is taken (or the caller asks for no text). Failures are
// reported in `status` only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "http/RequestHeaders.h"
#include "http/StatusTexts.h"
#include "runtime/Owned.h"

namespace quenlark {

// Bounds on one exchange for callers that read untrusted answers. A body over either one is a
// failed exchange: status 713 (the body could not be read whole), no body, the empty result.
// With a total time, the exchange runs on a worker and the call returns by then whatever the
// peer does (see http/TransferWorker.h); out of time before the response's headers, the
// server did not respond (712).
struct WebRequestLimits {
    std::optional<std::uint64_t> maxBodyBytes{};  // default and at most: what a byte-set counts (2 GiB - 1)
    std::optional<std::uint32_t> maxTotalMs{};    // from the call to the body's last byte; default: none
};

// The parameters in their fixed order. Inputs left out take the default shown; outputs are
// pointers (null: not given; the value is computed and discarded). An output is written only
// at its own step, so one that a failing call does not reach keeps what the caller put there.
struct WebRequestParams {
    const char* url = nullptr;             // absolute http or https URL
    std::optional<std::int32_t> method{};  // a RequestMethod code; default kMethodGet
    const char* postText = nullptr;        // body, when postBytes is empty
    const char* sendCookies = nullptr;     // "a=1; b=2" or a whole "Cookie: ..." line
    OwnedText* returnCookies = nullptr;    // in/out: cookies the response sets, appended
    const char* requestHeaders = nullptr;  // caller's header lines, CR LF separated
    OwnedText* responseHeaders = nullptr;  // out: raw header block, status line first
    std::optional<bool> noRedirect{};      // default false
    const char* userName = nullptr;        // server Basic authentication
    const char* password = nullptr;
    const char* proxy = nullptr;  // host:port; empty: no proxy (never the system's)
    const char* proxyUser = nullptr;
    const char* proxyPassword = nullptr;
    std::optional<std::int32_t> timeoutSeconds{};  // 0 or less: 30 seconds
    OwnedText* location = nullptr;                 // out: value of the Location line
    OwnedText* status = nullptr;                   // out: "200 OK", or a failure text
    OwnedByteSet* responseBytes = nullptr;         // out: the raw body
    std::optional<bool> mergeCookies{};            // default true
    std::optional<bool> addDefaultHeaders{};       // default true
    const void* postBytes = nullptr;               // ByteSet body; wins over postText when not empty
    std::optional<bool> normalizeHeaders{};        // default true
    WebRequestLimits limits{};                     // default: no limits beyond the byte-set's
    std::optional<bool> decodeText{};              // default true; false: the result stays empty
                                                   // (for callers that read only responseBytes)
};

// How far the exchange goes once the response has arrived.
enum class ResponseBody {
    Read,  // read the whole body
    Skip,  // end the exchange once the headers are in: nothing of the body is read
};

[[nodiscard]] OwnedText WebRequest(const WebRequestParams& params, ResponseBody body = ResponseBody::Read) noexcept;

// The verb of a method code; unknown codes are "GET".
[[nodiscard]] const char* RequestVerb(std::int32_t method) noexcept;

// The status text of a raw header block: from its 10th byte up to the first CR LF after it
// ("HTTP/1.1 200 OK" gives "200 OK"); empty when the block is shorter or has no such CR LF.
[[nodiscard]] OwnedText StatusTextOf(const char* responseHeaders) noexcept;

}  // namespace quenlark
