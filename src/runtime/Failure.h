// The fatal path: runtime errors and the end of the process. Programming faults and exhausted
// memory end the host process after a modal message box and the shutdown sequence
// (runtime/Shutdown.h); nothing is returned to the caller.
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

}  // namespace quenlark
