// The runtime's service entry: what a support library asks of the runtime, by the codes of
// the protocol (runtime/ServiceProtocol.h). It is handed to every support library at attach.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/ServiceProtocol.h"

namespace quenlark {

// Does what ServiceCode `code` names. Unknown codes show a box and give 0.
std::intptr_t RT_STDCALL SystemService(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept;

// The command line after the program name (ServiceCode::kArguments): a quoted name up to and
// including its closing quote, else up to and including the first space; then one space if
// present. Points at the terminating NUL when nothing follows.
[[nodiscard]] const char* SkipProgramName(const char* commandLine) noexcept;

extern const char kUnsupportedServiceCaption[];
extern const char kFatalServiceCaption[];
// The fatal service's box text at most, its NUL included; a longer text is cut.
inline constexpr std::size_t kFatalServiceTextBytes = 4096;

}  // namespace quenlark
