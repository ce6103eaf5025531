#include "text/WideText.h"

#include <algorithm>
#include <new>

#include "platform/CodePages.h"
#include "runtime/Texts.h"
#include "text/TextConversions.h"

namespace quenlark {

std::wstring Cp936ToWide(std::string_view text) {
    std::wstring wide;
    if (ToUtf16(kCodePage936, text, wide) == ConversionResult::kOutOfMemory) throw std::bad_alloc();
    return wide;
}

UniqueBstr Cp936ToBstr(const char* text) noexcept {
    UniqueBstr wide;
    const auto room = [&wide](std::size_t units) noexcept {
        wide.Reset(::SysAllocStringLen(nullptr, static_cast<UINT>(units)));
        return reinterpret_cast<char16_t*>(wide.Get());
    };
    if (ToUtf16With(kCodePage936, TextView(text), room) != ConversionResult::kOk) wide.Reset();
    return wide;
}

OwnedText WideToCp936(std::wstring_view wide) noexcept {
    OwnedText text;
    (void)TextFromUtf16(kCodePage936, Utf16Of(wide), text);
    return text;
}

std::size_t TextBytesOfWidePrefix(std::wstring_view wide, std::size_t units) noexcept {
    std::size_t bytes = 0;
    (void)MeasureFromUtf16(kCodePage936, Utf16Of(wide.substr(0, std::min(units, wide.size()))), {}, bytes);
    return bytes;
}

}  // namespace quenlark
