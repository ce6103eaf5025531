// Texts to and from the UTF-16 strings that WinHTTP takes and gives, always in code page 936 (whatever
// the system's ANSI code page is).
#pragma once

#include <string>
#include <string_view>

#include "runtime/Owned.h"

namespace quenlark {

[[nodiscard]] std::wstring Cp936ToWide(std::string_view text);
// Ends at the first NUL of `wide`.
[[nodiscard]] OwnedText WideToCp936(std::wstring_view wide) noexcept;

}  // namespace quenlark
