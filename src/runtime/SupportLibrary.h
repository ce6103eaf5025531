// The support library inside this library: its notification entry, which keeps the runtime's
// service entry at attach, and its calls through that entry (in this library: the message
// dispatch that the timed wait needs); beside them the list of support libraries that the
// runtime notifies.
#pragma once

#include <cstdint>

#include "runtime/ServiceProtocol.h"

namespace quenlark {

// The notification entry: kAttach keeps `a` as the service entry, kUnload does nothing; both
// give 0. Every other code gives -1 and changes nothing.
std::intptr_t RT_STDCALL LibraryNotify(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept;

// Calls the service entry that LibraryNotify keeps; 0 when it keeps none.
std::intptr_t RT_STDCALL CallSystemService(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept;

// Calls the notification entry of every support library with the arguments.
void NotifySupportLibraries(Notification code, std::intptr_t a, std::intptr_t b) noexcept;

}  // namespace quenlark
