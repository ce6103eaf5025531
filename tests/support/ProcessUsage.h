// What the process holds, for leak checks and benchmarks: private committed memory and open
// handles. Both are read in ways that also work under wine, where GetProcessMemoryInfo and
// GetProcessHandleCount read 0.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

namespace quenlark::testing_support {

struct ProcessUsage {
    std::size_t privateBytes = 0;  // committed MEM_PRIVATE regions, as VirtualQuery reports them
    std::size_t handles = 0;       // 0 when the count cannot be read
};

ProcessUsage ReadProcessUsage();
// The private committed bytes alone: cheap enough to sample every few milliseconds.
std::size_t ReadPrivateBytes();

// Samples the process's private committed bytes from a thread of its own while it lives, so
// that the peak of a call made meanwhile is seen. The constructor returns once the thread has
// taken its first sample: the baseline, which includes the thread's own stack.
class PeakPrivateBytes {
public:
    explicit PeakPrivateBytes(DWORD everyMs = 2);
    ~PeakPrivateBytes();
    PeakPrivateBytes(const PeakPrivateBytes&) = delete;
    PeakPrivateBytes& operator=(const PeakPrivateBytes&) = delete;

    [[nodiscard]] std::size_t Baseline() const { return baseline_; }
    // Stops sampling (after one last sample) and returns the highest value seen.
    std::size_t Stop();

private:
    static DWORD WINAPI Run(void* self);
    void Sample();

    DWORD everyMs_;
    std::size_t baseline_ = 0;
    HANDLE started_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> peak_{0};
    HANDLE thread_ = nullptr;
};

}  // namespace quenlark::testing_support
