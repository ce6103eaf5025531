#include "runtime/Startup.h"

#include <cstdint>

#include "platform/Platform.h"
#include "runtime/SupportLibrary.h"
#include "runtime/SystemService.h"

namespace quenlark {

void RuntimeStartup(void* module) noexcept {
    platform::SetModuleBase(module);
    platform::InitializeCom();
    NotifySupportLibraries(Notification::kAttach, reinterpret_cast<std::intptr_t>(&SystemService), 0);
}

}  // namespace quenlark
