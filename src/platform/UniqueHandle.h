// Owners of system handles; closing keeps GetLastError, so a failure being reported is not
// overwritten by the clean-up.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include "platform/UniqueResource.h"

namespace quenlark {

template <typename H, auto Close>
void CloseKeepingLastError(H handle) noexcept {
    const DWORD saved = ::GetLastError();
    Close(handle);
    ::SetLastError(saved);
}

template <typename H, auto Close>
using UniqueHandle = UniqueResource<H, &CloseKeepingLastError<H, Close>>;

// A WinHTTP session, connection or request handle: the library's and the benchmarks' alike.
using UniqueInternetHandle = UniqueHandle<HINTERNET, &::WinHttpCloseHandle>;

}  // namespace quenlark
