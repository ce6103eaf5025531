// The timed wait behind DelayWithEvents, with its clock, its message dispatch and its idle
// wait passed in, so that a test can drive it with a clock of its own.
#pragma once

#include <cstdint>

namespace quenlark {

// Dispatches twice, returns once more than `milliseconds` have passed on a microsecond clock,
// dispatches twice more and idles until a message arrives or the time left (rounded up to
// whole milliseconds) is up; again. Measured in microseconds, a pause of 5 ms lasts 5 ms: a
// millisecond tick count would stretch it to 6, as more than 5 of its ticks means 6.
// `work` runs once, after the first two dispatches: the time it takes is part of the pause.
template <typename NowMicros, typename Dispatch, typename Idle, typename Work>
void WaitDispatching(std::uint32_t milliseconds, NowMicros nowMicros, Dispatch dispatch, Idle idle,
                     Work work) noexcept {
    const std::uint64_t begin = nowMicros();
    const std::uint64_t length = std::uint64_t{milliseconds} * 1000u;
    for (bool first = true;; first = false) {
        dispatch();
        dispatch();
        if (first) work();
        const std::uint64_t passed = nowMicros() - begin;
        if (passed > length) return;
        dispatch();
        dispatch();
        idle(static_cast<std::uint32_t>((length - passed + 999u) / 1000u));
    }
}

}  // namespace quenlark
