#include "script/WideText.h"

#include <climits>
#include <cstring>

#include "runtime/Memory.h"

namespace quenlark {

UniqueBstr TextToWide(const char* text) noexcept {
    const std::size_t length = text ? std::strlen(text) : 0;
    if (length == 0 || length > INT_MAX) return {};
    const int n = static_cast<int>(length);
    const int units = ::MultiByteToWideChar(kTextCodePage, 0, text, n, nullptr, 0);
    if (units <= 0) return {};
    UniqueBstr wide = UniqueBstr::Adopt(::SysAllocStringLen(nullptr, static_cast<UINT>(units)));
    if (!wide || ::MultiByteToWideChar(kTextCodePage, 0, text, n, wide.get(), units) != units) return {};
    return wide;
}

OwnedText WideToText(std::wstring_view wide) noexcept {
    wide = wide.substr(0, wide.find(L'\0'));
    if (wide.empty() || wide.size() > INT_MAX) return {};
    const int units = static_cast<int>(wide.size());
    const int bytes = ::WideCharToMultiByte(kTextCodePage, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    auto* block = static_cast<char*>(RtAllocRaw(static_cast<std::size_t>(bytes) + 1));
    OwnedText text = OwnedText::Adopt(block);
    if (::WideCharToMultiByte(kTextCodePage, 0, wide.data(), units, block, bytes, nullptr, nullptr) != bytes) return {};
    block[bytes] = '\0';
    return text;
}

std::size_t TextBytesOfWidePrefix(std::wstring_view wide, std::size_t units) noexcept {
    if (units > wide.size()) units = wide.size();
    if (units == 0 || units > INT_MAX) return 0;
    const int bytes =
        ::WideCharToMultiByte(kTextCodePage, 0, wide.data(), static_cast<int>(units), nullptr, 0, nullptr, nullptr);
    return bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
}

}  // namespace quenlark
