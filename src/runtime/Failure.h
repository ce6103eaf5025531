// The fatal path: runtime errors and the shutdown sequence. Programming faults and exhausted
// memory end the host process after a modal message box; nothing is returned to the caller.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quenlark {

// Shows the runtime error box for `number` (with its table text for 1..11), then RtExit(0).
// `place` names the procedure that made the check, `position` the check within it.
[[noreturn]] void RaiseRuntimeError(std::uint32_t number, std::uint32_t place, std::uint32_t position) noexcept;

// Runs the shutdown sequence, then ends the whole host process with `code`.
[[noreturn]] void RtExit(unsigned code) noexcept;

// Table text of a runtime error number, or null for 0 and every number above 11.
[[nodiscard]] const char* RuntimeErrorText(std::uint32_t number) noexcept;

// The text of the runtime error box, as it is shown (at most 255 bytes).
void FormatRuntimeError(char (&buffer)[256], std::uint32_t number, std::uint32_t place,
                        std::uint32_t position) noexcept;

extern const char kRuntimeErrorCaption[];

// ---- Library lifetime -------------------------------------------------------------------

using ShutdownHook = void (*)() noexcept;
// The hook that the shutdown sequence calls first (the exports' ReleaseResults).
void SetShutdownHook(ShutdownHook hook) noexcept;

// Attach: keeps the module for the image test, initialises COM on this thread and hands the
// service entry to every support library (notification 1).
void RuntimeStartup(void* module) noexcept;

// Shutdown hook, notification 6 to every support library, CoUninitialize. Runs at most once
// per process: a fatal error runs it before ExitProcess, and the detach that ExitProcess then
// causes must not release the same results again.
void RunShutdownSequence() noexcept;

}  // namespace quenlark
