#include "runtime/Events.h"

#include "platform/Platform.h"

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

}  // namespace quenlark
