#include "http/WinHttpText.h"

#include <windows.h>

#include <climits>

namespace quenlark {

namespace {
constexpr UINT kCodePage936 = 936;
}  // namespace

std::wstring Cp936ToWide(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(kCodePage936, 0, text.data(), length, nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    ::MultiByteToWideChar(kCodePage936, 0, text.data(), length, wide.data(), units);
    return wide;
}

OwnedText WideToCp936(std::wstring_view wide) noexcept {
    const auto nul = wide.find(L'\0');
    if (nul != std::wstring_view::npos) wide = wide.substr(0, nul);
    if (wide.empty() || wide.size() > INT_MAX / 2) return {};
    const int length = static_cast<int>(wide.size());
    // WC_COMPOSITECHECK as the system's own conversion of request texts does; a system that
    // refuses the flag for this code page converts without it.
    DWORD flags = WC_COMPOSITECHECK;
    int bytes = ::WideCharToMultiByte(kCodePage936, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        bytes = ::WideCharToMultiByte(kCodePage936, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
    }
    if (bytes <= 0) return {};
    auto* block = static_cast<char*>(RtAllocRaw(static_cast<std::size_t>(bytes) + 1));
    ::WideCharToMultiByte(kCodePage936, flags, wide.data(), length, block, bytes, nullptr, nullptr);
    block[bytes] = '\0';
    return OwnedText::Adopt(block);
}

}  // namespace quenlark
