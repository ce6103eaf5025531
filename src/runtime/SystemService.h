// The service interface between the runtime and its support library: the support library
// receives the runtime's service entry at attach and reaches the runtime only through it
// (in this library: the message dispatch that the timed wait needs).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Platform.h"

namespace quenlark {

using ServiceEntry = std::intptr_t(RT_STDCALL*)(std::int32_t code, std::intptr_t a, std::intptr_t b);
using NotifyEntry = ServiceEntry;

inline constexpr std::int32_t kNotifyAttach = 1;
inline constexpr std::int32_t kNotifyUnload = 6;

// Service codes with an action: see SystemService.cpp. Unknown codes show a box and give 0.
std::intptr_t RT_STDCALL SystemService(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept;

// Support library notification entry: 1 stores `a` as the service entry, 6 (unload) does
// nothing; both give 0. Every other code gives -1 and changes nothing.
std::intptr_t RT_STDCALL LibraryNotify(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept;

// Calls the service entry stored by LibraryNotify; 0 when none is stored.
std::intptr_t RT_STDCALL CallSystemService(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept;

// Calls every registered notification entry with the arguments.
void NotifySupportLibraries(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept;

// The command line after the program name (service 2002): a quoted name up to and including
// its closing quote, else up to and including the first space; then one space if present.
// Points at the terminating NUL when nothing follows.
[[nodiscard]] const char* SkipProgramName(const char* commandLine) noexcept;

extern const char kUnsupportedServiceCaption[];
extern const char kFatalServiceCaption[];
// The fatal service's box text at most, its NUL included; a longer text is cut.
inline constexpr std::size_t kFatalServiceTextBytes = 4096;

}  // namespace quenlark
