#include "runtime/SupportLibrary.h"

namespace quenlark {

namespace {

ServiceEntry g_serviceEntry = nullptr;

// The support libraries' notification entries; the runtime calls each of them.
const NotifyEntry kSupportLibraries[] = {&LibraryNotify, nullptr};

}  // namespace

std::intptr_t RT_STDCALL LibraryNotify(std::int32_t code, std::intptr_t a, std::intptr_t) noexcept {
    switch (static_cast<Notification>(code)) {
        case Notification::kAttach:
            g_serviceEntry = reinterpret_cast<ServiceEntry>(a);
            return 0;
        case Notification::kUnload:
            return 0;
        default:
            return -1;
    }
}

std::intptr_t RT_STDCALL CallSystemService(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept {
    return g_serviceEntry ? g_serviceEntry(code, a, b) : 0;
}

void NotifySupportLibraries(Notification code, std::intptr_t a, std::intptr_t b) noexcept {
    for (const NotifyEntry* entry = kSupportLibraries; *entry; ++entry) (*entry)(static_cast<std::int32_t>(code), a, b);
}

}  // namespace quenlark
