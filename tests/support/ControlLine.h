// The control connection of a helper server that a Windows test starts (a Python program, run
// directly as a Unix program under wine). The test listens, the helper connects back: no port
// has to be agreed on beforehand, commands and replies travel one line each, and the helper
// ends when the connection closes, so it cannot outlive the test program.
#pragma once

#include <cstdint>
#include <string>

namespace quenlark::testing_support {

class ControlLine {
public:
    ControlLine() = default;
    ~ControlLine() { Close(); }
    ControlLine(const ControlLine&) = delete;
    ControlLine& operator=(const ControlLine&) = delete;

    // Starts `command` + " --control-port N" and waits up to `timeoutS` seconds for the helper
    // to connect. Returns "" when connected, else what went wrong.
    [[nodiscard]] std::string Launch(const std::string& command, long timeoutS);
    [[nodiscard]] bool Open() const { return socket_ != kClosed; }

    // One line without its LF; "" when the connection has ended or the reply timed out.
    std::string ReadLine();
    bool Send(const std::string& line);
    // Send, then the reply's first line.
    std::string Command(const std::string& line) { return Send(line) ? ReadLine() : std::string(); }
    void Close();

private:
    static constexpr std::uintptr_t kClosed = ~std::uintptr_t{0};
    std::uintptr_t socket_ = kClosed;
    std::string pending_;
};

}  // namespace quenlark::testing_support
