// Code page conversions of the platform seam, by the system's own tables.
#include <windows.h>

#include <climits>

#include "platform/Platform.h"

namespace quenlark::platform {

std::size_t DecodeToUtf16(std::uint32_t codePage, const char* source, std::size_t sourceBytes, char16_t* destination,
                          std::size_t destinationUnits) noexcept {
    if (sourceBytes == 0 || sourceBytes > INT_MAX || destinationUnits > INT_MAX) return 0;
    const int n = ::MultiByteToWideChar(codePage, 0, source, static_cast<int>(sourceBytes),
                                        reinterpret_cast<wchar_t*>(destination), static_cast<int>(destinationUnits));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::size_t EncodeFromUtf16(std::uint32_t codePage, const char16_t* source, std::size_t sourceUnits, char* destination,
                            std::size_t destinationBytes) noexcept {
    if (sourceUnits == 0 || sourceUnits > INT_MAX || destinationBytes > INT_MAX) return 0;
    const int n =
        ::WideCharToMultiByte(codePage, 0, reinterpret_cast<const wchar_t*>(source), static_cast<int>(sourceUnits),
                              destination, static_cast<int>(destinationBytes), nullptr, nullptr);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

}  // namespace quenlark::platform
