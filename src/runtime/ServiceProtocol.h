// The protocol between the runtime and its support libraries: the type of their entries, the
// codes of the runtime's service entry and the notifications a support library is sent. The
// numbers are the protocol's own, so every value here stays as it is.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace quenlark {

// The runtime's service entry, and a support library's notification entry, have this form.
using ServiceEntry = std::intptr_t(RT_STDCALL*)(std::int32_t code, std::intptr_t a, std::intptr_t b);
using NotifyEntry = ServiceEntry;

// What the runtime's service entry (SystemService) does for each code; `a` and `b` are its
// arguments. Every other code shows a box and gives 0.
enum class ServiceCode : std::int32_t {
    // Fixed answers, and codes that are accepted and ignored (they give 0).
    kAnswerOne = 1004,
    kAnswerFour = 1005,
    kAnswerThree = 2030,
    kIgnoredFirst = 2032,
    kIgnoredSecond = 2033,
    // The executable's directory with its backslash (`a` 1 or 2001) or file name (`a` 2002),
    // also copied into the MAX_PATH buffer at `b` when there is one; 0 for any other `a`.
    kModulePath = 1006,
    kValueRecordToInt = 2001,  // `a`: a value record (8 bytes of value, 4 of type code)
    kArguments = 2002,         // the command line after the program name
    kDirectory = 2003,         // the executable's directory, without its backslash
    kFileName = 2004,          // the executable's file name
    kDispatchMessages = 2018,  // the calling thread's pending window messages
    kFreeArray = 2023,         // `a`: the element type, `b`: the array
    kAllocate = 2024,          // a zero-filled block of `a` bytes
    kFree = 2025,              // the block `a`
    kReallocate = 2026,        // the block `a` resized to `b` bytes
    kFatalError = 2027,        // a box with the text `a`, then the end of the process
    kExit = 2028,              // the end of the process with exit code `a`
};

// The notifications a support library's entry is sent (the other codes are refused).
enum class Notification : std::int32_t {
    kAttach = 1,  // `a`: the runtime's service entry
    kUnload = 6,
};

}  // namespace quenlark
