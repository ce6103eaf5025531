// The shutdown sequence: what the library undoes when it is unloaded, and when a fatal error
// ends the process before that.
#pragma once

namespace quenlark {

using ShutdownHook = void (*)() noexcept;
// The hook that the shutdown sequence calls first (the exports' ReleaseResults).
void SetShutdownHook(ShutdownHook hook) noexcept;

// The shutdown hook, Notification::kUnload to every support library, CoUninitialize. Runs at
// most once per process: a fatal error runs it before ExitProcess, and the detach that
// ExitProcess then causes must not release the same results again.
void RunShutdownSequence() noexcept;

}  // namespace quenlark
