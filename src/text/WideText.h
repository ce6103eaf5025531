// The conversions between the library's texts (code page 936, whatever the system's ANSI code
// page is) and the UTF-16 strings that WinHTTP and automation objects take and give, each a line
// over the code page module (platform/CodePages.h): bytes that code page 936 cannot decode
// become U+FFFD, characters it cannot encode become "?".
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/UniqueResource.h"
#include "runtime/Owned.h"

namespace quenlark {

using UniqueBstr = UniqueResource<BSTR, &::SysFreeString>;

// The units of a wide string as the code page module takes them (wchar_t is 16 bits here).
[[nodiscard]] inline std::u16string_view Utf16Of(std::wstring_view wide) noexcept {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return {reinterpret_cast<const char16_t*>(wide.data()), wide.size()};
}

// The text as UTF-16; empty for the empty text. Throws only std::bad_alloc.
[[nodiscard]] std::wstring Cp936ToWide(std::string_view text);
// A new BSTR of the text; the empty text, or a failed conversion, gives no string (null).
[[nodiscard]] UniqueBstr Cp936ToBstr(const char* text) noexcept;
// A new Text (RtAlloc) of the UTF-16 string up to its first NUL; no string or an empty one
// gives the empty Text (null).
[[nodiscard]] OwnedText WideToCp936(std::wstring_view wide) noexcept;

// The whole BSTR as a view (a null BSTR is the empty string).
[[nodiscard]] inline std::wstring_view BstrView(BSTR s) noexcept {
    return s ? std::wstring_view(s, ::SysStringLen(s)) : std::wstring_view();
}

// Bytes that the first `units` UTF-16 units of `wide` take in code page 936: how a position
// counted by a wide-character engine maps onto the byte positions of the program's texts.
[[nodiscard]] std::size_t TextBytesOfWidePrefix(std::wstring_view wide, std::size_t units) noexcept;

}  // namespace quenlark
