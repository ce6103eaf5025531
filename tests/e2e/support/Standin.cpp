#include "e2e/support/Standin.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <sstream>

namespace quenlark::testing_support {

namespace {

constexpr long kStartTimeoutS = 60;     // the stand-in makes its certificate first
constexpr DWORD kReplyTimeoutMs = 30000;
constexpr int kStopPolls = 200;         // x 50 ms
constexpr int kRecordPolls = 300;       // x 100 ms
constexpr int kLifetimeS = 1200;        // a stand-in whose test hangs still ends

SOCKET AsSocket(std::uintptr_t s) { return static_cast<SOCKET>(s); }

bool StartWinsock() {
    static const bool started = [] {
        WSADATA wsa;
        return ::WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    }();
    return started;
}

// "\xNN" escapes back to bytes.
std::string Unescape(std::string_view escaped) {
    std::string out;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\\' && i + 3 < escaped.size() && escaped[i + 1] == 'x') {
            out.push_back(static_cast<char>(std::stoi(std::string(escaped.substr(i + 2, 2)), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(escaped[i]);
        }
    }
    return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

}  // namespace

int PortOfOrigin(std::string_view origin) {
    const auto colon = origin.rfind(':');
    if (colon == std::string_view::npos || colon < 6) return 443;  // only the scheme's colon
    return std::stoi(std::string(origin.substr(colon + 1)));
}

bool PortAcceptsConnections(int port) {
    if (!StartWinsock()) return false;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::closesocket(s);
    return connected;
}

Standin::Standin(int port) : port_(port) {
    if (!StartWinsock()) {
        error_ = "WSAStartup failed";
        return;
    }
    // We listen; the stand-in connects back, announces itself and lives as long as that
    // connection does, so it cannot outlive this test program.
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error_ = "cannot listen for the stand-in's control connection";
        ::closesocket(listener);
        return;
    }
    std::string command = std::string(QUENLARK_PYTHON) + " " + QUENLARK_STANDIN + " serve --port " +
                          std::to_string(port) + " --lifetime " + std::to_string(kLifetimeS) + " --control-port " +
                          std::to_string(ntohs(address.sin_port));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        error_ = "cannot start " + command;
        ::closesocket(listener);
        return;
    }
    // No CloseHandle: for a Unix program wine hands back values that are not handles of this
    // process, and closing them closes unrelated handles of ours.

    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval wait{kStartTimeoutS, 0};
    const bool connected = ::select(0, &readable, nullptr, nullptr, &wait) == 1;
    SOCKET control = connected ? ::accept(listener, nullptr, nullptr) : INVALID_SOCKET;
    ::closesocket(listener);
    if (control == INVALID_SOCKET) {
        error_ = "the stand-in did not connect back (port " + std::to_string(port) + " taken?): " + command;
        return;
    }
    const DWORD timeout = kReplyTimeoutMs;
    ::setsockopt(control, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    control_ = static_cast<std::uintptr_t>(control);
    const std::string ready = ReadLine();
    if (ready != "READY " + std::to_string(port)) {
        error_ = "unexpected greeting: " + ready;
        Stop();
    }
}

Standin::~Standin() { Stop(); }

void Standin::Stop() {
    if (!Ready()) return;
    Command("QUIT");
    ::closesocket(AsSocket(control_));
    control_ = ~std::uintptr_t{0};
    for (int i = 0; i < kStopPolls && PortAcceptsConnections(port_); ++i) ::Sleep(50);
}

std::string Standin::ReadLine() {
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

std::string Standin::Command(const std::string& line) {
    if (!Ready()) return {};
    const std::string framed = line + "\n";
    if (::send(AsSocket(control_), framed.data(), static_cast<int>(framed.size()), 0) != static_cast<int>(framed.size())) {
        return {};
    }
    return line == "QUIT" ? std::string() : ReadLine();
}

std::vector<StandinRecord> Standin::Requests() {
    std::vector<StandinRecord> records;
    const std::string header = Command("REQUESTS");
    if (header.rfind("REQUESTS ", 0) != 0) return records;
    const int count = std::stoi(header.substr(9));
    for (int i = 0; i < count; ++i) {
        const std::vector<std::string> fields = SplitTabs(ReadLine());
        if (fields.size() != 7) continue;
        records.push_back({fields[0], Unescape(fields[1]), std::stoi(fields[2]), std::stoull(fields[3]),
                           std::stoull(fields[4]), Unescape(fields[5]), Unescape(fields[6])});
    }
    return records;
}

void Standin::Reset() { Command("RESET"); }

bool Standin::WaitForRequest(const std::function<bool(const StandinRecord&)>& match, StandinRecord& found) {
    for (int i = 0; i < kRecordPolls; ++i) {
        for (const StandinRecord& record : Requests()) {
            if (match(record)) {
                found = record;
                return true;
            }
        }
        ::Sleep(100);
    }
    return false;
}

}  // namespace quenlark::testing_support
