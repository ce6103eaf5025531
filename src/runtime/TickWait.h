// The timed wait behind DelayWithEvents, with its clock, its message dispatch and its idle
// wait passed in, so that a test can run it across a wrap of the 32-bit tick count.
#pragma once

#include <cstdint>

namespace quenlark {

// Dispatches twice, returns once more than `milliseconds` ticks have passed, dispatches twice
// more and idles until a message arrives or the time is up; again. Time passed is the
// unsigned difference from the first reading, so a wrap of the tick count changes nothing.
template <typename Now, typename Dispatch, typename Idle>
void WaitTicksDispatching(std::uint32_t milliseconds, Now now, Dispatch dispatch, Idle idle) noexcept {
    const std::uint32_t begin = now();
    for (;;) {
        dispatch();
        dispatch();
        const std::uint32_t passed = now() - begin;
        if (passed > milliseconds) return;
        dispatch();
        dispatch();
        idle(milliseconds - passed + 1);
    }
}

}  // namespace quenlark
