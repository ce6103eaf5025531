// Dispatching the calling thread's window messages while the library works on it.
#pragma once

#include <cstdint>

namespace quenlark {

// Dispatches pending messages until the queue is empty, including those posted by the
// handlers it runs. Stops at WM_QUIT and leaves it queued for the host's own loop.
// Returns 0 when the queue was emptied, non-zero when it stopped at a quit message.
int ProcessEvents() noexcept;

// Waits `milliseconds` while dispatching the thread's messages (through the support library's
// service entry, ServiceCode::kDispatchMessages). Sleeps on the message queue between checks rather than
// spinning; ends once more than `milliseconds` have passed on the system's monotonic clock
// (no tick count to wrap). Returns at once for 0 or less.
void DelayWithEvents(std::int32_t milliseconds) noexcept;

}  // namespace quenlark
