// Hooks for tests, never exported from the DLL: a test can take the place of the message box
// (to record what the user would have seen and choose the button) and watch the process end.
#pragma once

#include <functional>

namespace quenlark::platform {

// Receives what MessageBoxA would have received; its return value is the button.
using MessageBoxHook = std::function<int(void* owner, const char* text, const char* caption, unsigned flags)>;
// Called with the exit code just before the process ends. It may end the process itself
// (for example after flushing what the test recorded); if it returns, the process ends.
using ExitHook = std::function<void(unsigned code)>;

void SetMessageBoxHook(MessageBoxHook hook);
void SetExitHook(ExitHook hook);

}  // namespace quenlark::platform
