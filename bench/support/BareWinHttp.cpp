#include "support/BareWinHttp.h"

namespace quenlark::bench {

namespace {

bool SetDword(HINTERNET handle, DWORD option, DWORD value) {
    return ::WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace

bool OpenBareExchange(const std::string& url, const char* verb, const std::string& headers, const std::string& body,
                      bool noRedirect, BareExchange& exchange) {
    const std::wstring wideUrl = Wide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(wideUrl.c_str(), static_cast<DWORD>(wideUrl.size()), 0, &parts)) return false;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring path = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                              std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    exchange.session.Reset(
        ::WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!exchange.session || !::WinHttpSetTimeouts(exchange.session.Get(), 30000, 30000, 30000, 30000)) return false;
    exchange.connection.Reset(::WinHttpConnect(exchange.session.Get(), host.c_str(), parts.nPort, 0));
    if (!exchange.connection) return false;
    exchange.request.Reset(::WinHttpOpenRequest(exchange.connection.Get(), Wide(verb).c_str(), path.c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    HINTERNET request = exchange.request.Get();
    const std::wstring wideHeaders = Wide(headers);
    return request &&
           SetDword(request, WINHTTP_OPTION_SECURITY_FLAGS,
                    SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                        SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID) &&
           SetDword(request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES) &&
           (!noRedirect || SetDword(request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS)) &&
           ::WinHttpSendRequest(request, wideHeaders.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : wideHeaders.c_str(),
                                static_cast<DWORD>(wideHeaders.size()), const_cast<char*>(body.data()),
                                static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) &&
           ::WinHttpReceiveResponse(request, nullptr);
}

std::string BareFetch(const std::string& url, const char* verb, const std::string& headers, const std::string& body,
                      bool noRedirect) {
    BareExchange exchange;
    if (!OpenBareExchange(url, verb, headers, body, noRedirect, exchange)) return {};
    std::string received;
    for (;;) {
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(exchange.request.Get(), &available) || available == 0) break;
        const std::size_t at = received.size();
        received.resize(at + available);
        DWORD read = 0;
        if (!::WinHttpReadData(exchange.request.Get(), received.data() + at, available, &read)) break;
        received.resize(at + read);
    }
    return received;
}

}  // namespace quenlark::bench
