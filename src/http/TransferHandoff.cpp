#include "http/TransferHandoff.h"

#include <utility>

#include "http/TransferLimits.h"

namespace quenlark {

namespace {

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

}  // namespace

bool TransferHandoff::PublishHeaders(std::wstring& headers) noexcept {
    ExclusiveLock hold(lock_);
    if (abandoned_.load(std::memory_order_relaxed)) return false;
    headers_ = std::move(headers);
    headersIn_ = true;
    return true;
}

void TransferHandoff::Finish() noexcept {
    {
        ExclusiveLock hold(lock_);
        finished_ = true;
    }
    ::WakeAllConditionVariable(&changed_);
}

bool TransferHandoff::WaitUntil(const TransferLimits& limits) noexcept {
    ExclusiveLock hold(lock_);
    while (!finished_) {
        const DWORD left = limits.Left();
        if (left == 0) return false;
        // Woken by Finish, by the time-out, or spuriously: the loop tells which.
        (void)::SleepConditionVariableSRW(&changed_, &lock_, left, 0);
    }
    return true;
}

bool TransferHandoff::Abandon() noexcept {
    ExclusiveLock hold(lock_);
    if (finished_) return true;
    abandoned_.store(true, std::memory_order_release);
    return false;
}

bool TransferHandoff::TakeHeaders(std::wstring& headers) noexcept {
    ExclusiveLock hold(lock_);
    if (!headersIn_) return false;
    headers = std::move(headers_);
    headersIn_ = false;
    return true;
}

}  // namespace quenlark
