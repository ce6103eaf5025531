#include "runtime/Events.h"

#include "platform/Platform.h"
#include "runtime/ServiceProtocol.h"
#include "runtime/SupportLibrary.h"

namespace quenlark {

int ProcessEvents() noexcept {
    for (;;) {
        bool isQuit = false;
        const int pending = platform::PeekForMessage(&isQuit);
        if (!pending || isQuit) return pending;
        // Removed only now that it is known not to be WM_QUIT.
        platform::DispatchNextMessage();
    }
}

PacedDispatch PacedEvents() noexcept {
    return PacedDispatch(1000, &platform::MicrosecondCount, []() noexcept { (void)ProcessEvents(); });
}

void DelayWithEvents(std::int32_t milliseconds) noexcept {
    DelayWithEvents(milliseconds, [] {});
}

void DelayWithEvents(std::int32_t milliseconds, const std::function<void()>& work) noexcept {
    if (milliseconds <= 0) {
        work();
        return;
    }
    // The support library's own command: it reaches the dispatch loop through the service
    // entry, and sleeps on the message queue between checks instead of spinning.
    WaitDispatching(
        static_cast<std::uint32_t>(milliseconds), [] { return platform::MicrosecondCount(); },
        [] { CallSystemService(static_cast<std::int32_t>(ServiceCode::kDispatchMessages), 0, 0); },
        [](std::uint32_t ms) { platform::WaitForMessage(ms); }, work);
}

}  // namespace quenlark
