#include "support/ControlLine.h"

#include <windows.h>
#include <winsock2.h>

namespace quenlark::testing_support {

namespace {

constexpr DWORD kReplyTimeoutMs = 30000;

SOCKET AsSocket(std::uintptr_t s) { return static_cast<SOCKET>(s); }

}  // namespace

std::string ControlLine::Launch(const std::string& command, long timeoutS) {
    Close();
    // Winsock stays initialised for the life of the process: the HTTP stack may still hold
    // pooled connections, and tearing the sockets down under it stalled the next test.
    static const bool started = [] {
        WSADATA wsa;
        return ::WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    }();
    if (!started) return "WSAStartup failed";

    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::closesocket(listener);
        return "cannot listen for the control connection";
    }
    std::string commandLine = command + " --control-port " + std::to_string(ntohs(address.sin_port));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        ::closesocket(listener);
        return "cannot start " + commandLine;
    }
    // No CloseHandle: for a Unix program wine hands back values that are not handles of ours,
    // and closing them closed unrelated handles of this process (its output among them).

    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval wait{timeoutS, 0};
    const SOCKET control =
        ::select(0, &readable, nullptr, nullptr, &wait) == 1 ? ::accept(listener, nullptr, nullptr) : INVALID_SOCKET;
    ::closesocket(listener);
    if (control == INVALID_SOCKET) return "it did not connect back: " + commandLine;
    const DWORD timeout = kReplyTimeoutMs;
    ::setsockopt(control, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    socket_ = static_cast<std::uintptr_t>(control);
    return {};
}

std::string ControlLine::ReadLine() {
    while (Open()) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        char buffer[65536];
        const int n = ::recv(AsSocket(socket_), buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
    return {};
}

bool ControlLine::Send(const std::string& line) {
    if (!Open()) return false;
    const std::string framed = line + "\n";
    std::size_t sent = 0;
    while (sent < framed.size()) {
        const int n = ::send(AsSocket(socket_), framed.data() + sent, static_cast<int>(framed.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void ControlLine::Close() {
    if (!Open()) return;
    ::closesocket(AsSocket(socket_));
    socket_ = kClosed;
    pending_.clear();
}

}  // namespace quenlark::testing_support
