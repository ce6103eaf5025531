// Dispatching the calling thread's window messages while the library works on it.
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/TickWait.h"

namespace quenlark {

// Dispatches pending messages until the queue is empty, including those posted by the
// handlers it runs. Stops at WM_QUIT and leaves it queued for the host's own loop.
// Returns 0 when the queue was emptied, non-zero when it stopped at a quit message.
int ProcessEvents() noexcept;

// Dispatches pending messages between the steps of a long walk, at most once a millisecond.
[[nodiscard]] PacedDispatch PacedEvents() noexcept;

// Waits `milliseconds` while dispatching the thread's messages (through the support library's
// service entry, ServiceCode::kDispatchMessages). Sleeps on the message queue between checks
// rather than spinning, but for the last fraction of a millisecond (WaitDispatching); ends once
// more than `milliseconds` have passed on the system's monotonic clock (no tick count to wrap).
// Returns at once for 0 or less.
void DelayWithEvents(std::int32_t milliseconds) noexcept;
// The same pause with the library's own `work` done inside it, after the first dispatches: the
// pause still ends `milliseconds` after it began (or when the work ends, if that is later), so
// work that is due by then anyway takes none of the caller's time. For 0 or less, just the work.
void DelayWithEvents(std::int32_t milliseconds, const std::function<void()>& work) noexcept;

}  // namespace quenlark
