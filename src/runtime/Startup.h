// What the runtime does when the library is loaded.
#pragma once

namespace quenlark {

// Keeps the module for the image test, initialises COM on this thread and hands the runtime's
// service entry to every support library (Notification::kAttach).
void RuntimeStartup(void* module) noexcept;

}  // namespace quenlark
