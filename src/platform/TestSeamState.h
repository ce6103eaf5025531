// Internal to the platform back-ends: how they reach the test hooks.
#pragma once

namespace quenlark::platform {

// True when a hook took the message box; `result` then holds its answer.
bool CallMessageBoxHook(void* owner, const char* text, const char* caption, unsigned flags, int& result) noexcept;
void CallExitHook(unsigned code) noexcept;

}  // namespace quenlark::platform
