#include "platform/WideText.h"

#include <cstring>

#include "platform/Platform.h"
#include "runtime/Memory.h"

namespace quenlark {

namespace {

const char16_t* Units(std::wstring_view wide) noexcept {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return reinterpret_cast<const char16_t*>(wide.data());
}

}  // namespace

std::wstring Cp936ToWide(std::string_view text) {
    const std::size_t units = platform::DecodeToUtf16(kTextCodePage, text.data(), text.size(), nullptr, 0);
    if (units == 0) return {};
    std::wstring wide(units, L'\0');
    const std::size_t written = platform::DecodeToUtf16(kTextCodePage, text.data(), text.size(),
                                                        reinterpret_cast<char16_t*>(wide.data()), units);
    wide.resize(written);
    return wide;
}

UniqueBstr Cp936ToBstr(const char* text) noexcept {
    const std::size_t length = text ? std::strlen(text) : 0;
    const std::size_t units = platform::DecodeToUtf16(kTextCodePage, text, length, nullptr, 0);
    if (units == 0) return {};
    UniqueBstr wide = UniqueBstr::Adopt(::SysAllocStringLen(nullptr, static_cast<UINT>(units)));
    if (!wide ||
        platform::DecodeToUtf16(kTextCodePage, text, length, reinterpret_cast<char16_t*>(wide.get()), units) != units) {
        return {};
    }
    return wide;
}

OwnedText WideToCp936(std::wstring_view wide) noexcept {
    wide = wide.substr(0, wide.find(L'\0'));
    const std::size_t bytes = platform::EncodeFromUtf16(kTextCodePage, Units(wide), wide.size(), nullptr, 0);
    if (bytes == 0) return {};
    auto* block = static_cast<char*>(RtAllocRaw(bytes + 1));
    OwnedText text = OwnedText::Adopt(block);
    if (platform::EncodeFromUtf16(kTextCodePage, Units(wide), wide.size(), block, bytes) != bytes) return {};
    block[bytes] = '\0';
    return text;
}

std::size_t TextBytesOfWidePrefix(std::wstring_view wide, std::size_t units) noexcept {
    return platform::EncodeFromUtf16(kTextCodePage, Units(wide), std::min(units, wide.size()), nullptr, 0);
}

}  // namespace quenlark
