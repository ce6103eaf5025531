#include "http/TransferLimits.h"

#include <algorithm>

namespace quenlark {

bool TransferLimits::Passed() const noexcept { return hasDeadline && ::GetTickCount64() >= deadline; }

DWORD TransferLimits::Cap(DWORD t) const noexcept {
    if (!hasDeadline) return t;
    const ULONGLONG now = ::GetTickCount64();
    const ULONGLONG left = now < deadline ? deadline - now : 1;
    return static_cast<DWORD>(std::min<ULONGLONG>(t, left));
}

DWORD TransferLimits::Left() const noexcept {
    if (!hasDeadline) return INFINITE;
    const ULONGLONG now = ::GetTickCount64();
    return now < deadline ? static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, INFINITE - 1)) : 0;
}

}  // namespace quenlark
