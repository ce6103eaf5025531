// The hooks live here, shared by both platform back-ends.
#include "platform/TestSeam.h"

#include "platform/TestSeamState.h"

namespace quenlark::platform {

namespace {
MessageBoxHook& BoxHook() {
    static MessageBoxHook hook;
    return hook;
}
ExitHook& EndHook() {
    static ExitHook hook;
    return hook;
}
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { BoxHook() = std::move(hook); }
void SetExitHook(ExitHook hook) { EndHook() = std::move(hook); }

bool CallMessageBoxHook(void* owner, const char* text, const char* caption, unsigned flags, int& result) noexcept {
    if (!BoxHook()) return false;
    try {
        result = BoxHook()(owner, text, caption, flags);
    } catch (...) {
        result = 0;  // as a box that could not be shown
    }
    return true;
}

void CallExitHook(unsigned code) noexcept {
    try {
        if (EndHook()) EndHook()(code);
    } catch (...) {
    }
}

}  // namespace quenlark::platform
