// Owners of system handles; closing keeps GetLastError, so a failure being reported is not
// overwritten by the clean-up.
#pragma once

#include <windows.h>

#include "runtime/UniqueResource.h"

namespace quenlark {

template <typename H, auto Close>
void CloseKeepingLastError(H handle) noexcept {
    const DWORD saved = ::GetLastError();
    Close(handle);
    ::SetLastError(saved);
}

template <typename H, auto Close>
using UniqueHandle = UniqueResource<H, &CloseKeepingLastError<H, Close>>;

}  // namespace quenlark
