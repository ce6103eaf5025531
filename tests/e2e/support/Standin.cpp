#include "e2e/support/Standin.h"

#include <windows.h>
#include <winsock2.h>

namespace quenlark::testing_support {

namespace {

constexpr long kStartTimeoutS = 60;  // the stand-in makes its certificate first
constexpr int kStopPolls = 200;      // x 50 ms
constexpr int kRecordPolls = 300;    // x 100 ms
constexpr int kLifetimeS = 1200;     // a stand-in whose test hangs still ends

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
    static const bool started = [] {
        WSADATA wsa;
        return ::WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    }();
    if (!started) return false;
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
    const std::string command = std::string(QUENLARK_PYTHON) + " " + QUENLARK_STANDIN + " serve --port " +
                                std::to_string(port) + " --lifetime " + std::to_string(kLifetimeS);
    error_ = control_.Launch(command, kStartTimeoutS);
    if (!error_.empty()) {
        error_ += " (port " + std::to_string(port) + " taken?)";
        return;
    }
    const std::string ready = control_.ReadLine();
    if (ready != "READY " + std::to_string(port)) {
        error_ = "unexpected greeting: " + ready;
        Stop();
    }
}

Standin::~Standin() { Stop(); }

void Standin::Stop() {
    if (!Ready()) return;
    (void)control_.Send("QUIT");
    control_.Close();
    for (int i = 0; i < kStopPolls && PortAcceptsConnections(port_); ++i) ::Sleep(50);
}

std::vector<StandinRecord> Standin::Requests() {
    std::vector<StandinRecord> records;
    const std::string header = control_.Command("REQUESTS");
    if (header.rfind("REQUESTS ", 0) != 0) return records;
    const int count = std::stoi(header.substr(9));
    for (int i = 0; i < count; ++i) {
        const std::vector<std::string> fields = SplitTabs(control_.ReadLine());
        if (fields.size() != 7) continue;
        records.push_back({fields[0], Unescape(fields[1]), std::stoi(fields[2]), std::stoull(fields[3]),
                           std::stoull(fields[4]), Unescape(fields[5]), Unescape(fields[6])});
    }
    return records;
}

void Standin::Reset() { (void)control_.Command("RESET"); }

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
