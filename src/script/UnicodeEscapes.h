// Decoding of script-style escapes (\uXXXX and \XX) by a small JScript function run in the
// system's script control, or where that cannot be created in the library's stand-in for it.
#pragma once

#include "runtime/Owned.h"

namespace quenlark {

// Every backslash becomes a percent sign and the script's unescape() decodes %uXXXX and %XX;
// a percent sign that starts no escape stays. The caller's variable is lent to the script by
// reference and may come back as a new block holding the same text. The empty text when the
// control cannot be made or the call fails. COM is initialised for the call and left as it was.
[[nodiscard]] OwnedText DecodeUnicodeEscapes(OwnedText& text) noexcept;

}  // namespace quenlark
