#include "runtime/Shutdown.h"

#include <atomic>

#include "platform/Platform.h"
#include "runtime/SupportLibrary.h"

namespace quenlark {

namespace {
ShutdownHook g_shutdownHook = nullptr;
std::atomic<bool> g_shutdownDone{false};
}  // namespace

void SetShutdownHook(ShutdownHook hook) noexcept { g_shutdownHook = hook; }

void RunShutdownSequence() noexcept {
    if (g_shutdownDone.exchange(true)) return;
    if (g_shutdownHook) g_shutdownHook();
    NotifySupportLibraries(Notification::kUnload, 0, 0);
    platform::UninitializeCom();
}

}  // namespace quenlark
