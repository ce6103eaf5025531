#include "http/support/ScriptedServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <sstream>

namespace quenlark::testing_support {

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kReplyTimeoutMs = 30000;

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::string Unhex(std::string_view hex) {
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

SOCKET AsSocket(std::uintptr_t s) { return static_cast<SOCKET>(s); }

}  // namespace

ScriptedServer::ScriptedServer() {
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        error_ = "WSAStartup failed";
        return;
    }
    // We listen; the server connects back, so no port has to be agreed on beforehand.
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error_ = "cannot listen for the server's control connection";
        ::closesocket(listener);
        return;
    }

    // Under wine a Unix program can be started directly.
    std::string command = std::string(QUENLARK_PYTHON) + " " + QUENLARK_SCRIPTED_SERVER + " --control-port " +
                          std::to_string(ntohs(address.sin_port));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        error_ = "cannot start " + command;
        ::closesocket(listener);
        return;
    }
    // No CloseHandle here: for a Unix program wine hands back values that are not handles of
    // ours, and closing them closed unrelated handles of this process (its output among them).

    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval wait{static_cast<long>(kStartTimeoutMs / 1000), 0};
    if (::select(0, &readable, nullptr, nullptr, &wait) != 1) {
        error_ = "the scripted server did not connect back: " + command;
        ::closesocket(listener);
        return;
    }
    SOCKET control = ::accept(listener, nullptr, nullptr);
    ::closesocket(listener);
    if (control == INVALID_SOCKET) {
        error_ = "accept failed";
        return;
    }
    const DWORD timeout = kReplyTimeoutMs;
    ::setsockopt(control, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    control_ = static_cast<std::uintptr_t>(control);

    const std::string ready = ReadLine();
    std::istringstream words(ready);
    std::string word;
    words >> word;
    if (word != "READY") {
        error_ = "unexpected greeting: " + ready;
        ::closesocket(control);
        control_ = ~std::uintptr_t{0};
        return;
    }
    while (words >> word) {
        const auto equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const int port = std::stoi(word.substr(equals + 1));
        if (name == "http") http_ = port;
        if (name == "https") https_ = port;
        if (name == "https-wronghost") wrongHost_ = port;
        if (name == "https-expired") expired_ = port;
    }
}

ScriptedServer::~ScriptedServer() {
    if (Ready()) {
        Command("QUIT");
        ::closesocket(AsSocket(control_));
    }
    // Winsock stays initialised: the HTTP stack of the process may still hold pooled
    // connections, and tearing the sockets down under it stalled the next test.
}

std::string ScriptedServer::HttpUrl(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(http_) + std::string(path);
}

std::string ScriptedServer::HttpsUrl(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(https_) + std::string(path);
}

std::string ScriptedServer::ReadLine() {
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        char buffer[65536];
        const int n = ::recv(AsSocket(control_), buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string ScriptedServer::Command(const std::string& line) {
    if (!Ready()) return {};
    const std::string framed = line + "\n";
    std::size_t sent = 0;
    while (sent < framed.size()) {
        const int n = ::send(AsSocket(control_), framed.data() + sent, static_cast<int>(framed.size() - sent), 0);
        if (n <= 0) return {};
        sent += static_cast<std::size_t>(n);
    }
    return ReadLine();
}

bool ScriptedServer::Script(std::string_view rawResponse, std::string_view options) {
    return Command("SCRIPT " + Hex(rawResponse) + " " + std::string(options)) == "OK";
}

bool ScriptedServer::ScriptFile(std::string_view name, std::string_view options) {
    return Command("SCRIPTFILE " + std::string(QUENLARK_HTTP_TEST_DATA) + "/" + std::string(name) + " " +
                   std::string(options)) == "OK";
}

bool ScriptedServer::Generate(int status, std::uint64_t size, std::string_view options) {
    return Command("GENERATE " + std::to_string(status) + " " + std::to_string(size) + " " + std::string(options)) == "OK";
}

std::vector<std::string> ScriptedServer::Requests() {
    std::vector<std::string> requests;
    const std::string header = Command("REQUESTS");
    if (header.rfind("REQUESTS ", 0) != 0) return requests;
    const int count = std::stoi(header.substr(9));
    for (int i = 0; i < count; ++i) requests.push_back(Unhex(ReadLine()));
    return requests;
}

std::vector<std::uint64_t> ScriptedServer::SentBytes() {
    std::vector<std::uint64_t> counts;
    std::istringstream words(Command("SENT"));
    std::string word;
    std::size_t count = 0;
    if (!(words >> word >> count) || word != "SENT") return counts;
    std::uint64_t bytes = 0;
    while (counts.size() < count && words >> bytes) counts.push_back(bytes);
    return counts;
}

void ScriptedServer::Reset() { Command("RESET"); }

std::string RequestLine(const std::string& rawRequest) { return rawRequest.substr(0, rawRequest.find("\r\n")); }

std::string RequestHeaders(const std::string& rawRequest) {
    const auto first = rawRequest.find("\r\n");
    const auto blank = rawRequest.find("\r\n\r\n");
    if (first == std::string::npos || blank == std::string::npos || blank <= first) return {};
    return rawRequest.substr(first + 2, blank - first - 2);
}

std::string RequestBody(const std::string& rawRequest) {
    const auto blank = rawRequest.find("\r\n\r\n");
    return blank == std::string::npos ? std::string() : rawRequest.substr(blank + 4);
}

}  // namespace quenlark::testing_support
