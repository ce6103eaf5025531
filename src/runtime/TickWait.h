// The timed wait behind DelayWithEvents and the paced dispatch of long walks, with their clock
// and their message dispatch (and the wait's idle) passed in, so that a test can drive them with
// a clock of its own.
#pragma once

#include <cstdint>

namespace quenlark {

// Dispatches twice, returns once more than `milliseconds` have passed on a microsecond clock,
// dispatches twice more and idles until a message arrives or the whole milliseconds left are
// up; again. The time left is rounded down, so that no idle lasts past the end (rounded up, a
// pause whose work took half a millisecond lasted five and a half); in the last fraction of a
// millisecond the idle is a look at the queue. Measured in microseconds, a pause of 5 ms lasts
// 5 ms: a millisecond tick count would stretch it to 6, as more than 5 of its ticks means 6.
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
        idle(static_cast<std::uint32_t>((length - passed) / 1000u));
    }
}

// Dispatches between the steps of a walk that the input makes as long as it likes (a response's
// header lines), once `intervalMicros` have passed since the last dispatch: a walk of a few
// steps dispatches nothing of its own, where a dispatch would cost more than the walk (the
// caller dispatches once it is done), and one of a hundred thousand keeps the host's windows
// answering.
class PacedDispatch {
public:
    using NowMicros = std::uint64_t (*)() noexcept;
    using Dispatch = void (*)() noexcept;
    PacedDispatch(std::uint64_t intervalMicros, NowMicros nowMicros, Dispatch dispatch) noexcept
        : interval_(intervalMicros), now_(nowMicros), dispatch_(dispatch), last_(nowMicros()) {}
    void Step() noexcept {
        if (now_() - last_ < interval_) return;
        dispatch_();
        last_ = now_();  // the dispatch's own time is no part of the walk's
    }

private:
    std::uint64_t interval_;
    NowMicros now_;
    Dispatch dispatch_;
    std::uint64_t last_;
};

}  // namespace quenlark
