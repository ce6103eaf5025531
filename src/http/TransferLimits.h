// The bounds of one transfer: its deadline and the largest body it may deliver.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quenlark {

// When the exchange must be over, and how large a body it may deliver.
struct TransferLimits {
    std::uint64_t maxBodyBytes = 0;
    bool hasDeadline = false;
    ULONGLONG deadline = 0;  // GetTickCount64 milliseconds

    [[nodiscard]] bool Passed() const noexcept;
    // The time-out for the next wait: `t`, or what is left of the exchange when that is less
    // (at least 1 ms: 0 would mean no time-out at all).
    [[nodiscard]] DWORD Cap(DWORD t) const noexcept;
    // Milliseconds until the deadline (0 once it has passed).
    [[nodiscard]] DWORD Left() const noexcept;
};

}  // namespace quenlark
