// What a transfer running on a worker shares with the thread that waits for it: whether it has
// finished, whether the waiter has given up on it, and the response's header block, which the
// waiter may still use when it gives up during the body.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

namespace quenlark {

struct TransferLimits;

class TransferHandoff {
public:
    // ---- The transfer's side
    [[nodiscard]] bool Abandoned() const noexcept { return abandoned_.load(std::memory_order_acquire); }
    // Hands over the header block the moment it is in; false (and the block kept) when the
    // waiter has already given up.
    bool PublishHeaders(std::wstring& headers) noexcept;
    // The transfer has ended: its result is complete.
    void Finish() noexcept;

    // ---- The waiter's side
    // Waits until the transfer has finished (true) or the deadline has passed (false).
    [[nodiscard]] bool WaitUntil(const TransferLimits& limits) noexcept;
    // Gives up waiting. True when the transfer finished after all (its result is complete and
    // the waiter may take it); otherwise the transfer is left to end on its own and nothing of
    // its result may be read any more.
    [[nodiscard]] bool Abandon() noexcept;
    // The header block the transfer published (empty when none): after Finish, or after an
    // Abandon that returned false.
    [[nodiscard]] bool TakeHeaders(std::wstring& headers) noexcept;

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    bool finished_ = false;
    std::atomic<bool> abandoned_{false};
    bool headersIn_ = false;
    std::wstring headers_;
};

}  // namespace quenlark
