// The runtime's message box command, which the exports do not use: the library's own boxes
// go through platform::ShowMessage.
#pragma once

#include <cstdint>

#include "runtime/Value.h"

namespace quenlark {

// MessageBoxA(owner, message as text, caption, flags) - 1. Omitted flags: 0; omitted caption:
// "信息"; the owner only when given and typed TC_INT. OK gives 0; a failed call -1.
std::int32_t ShowMessageBox(const TypedArg& message, const TypedArg& flags = {}, const TypedArg& caption = {},
                            const TypedArg& owner = {}) noexcept;

extern const char kDefaultMessageBoxCaption[];  // "信息"

}  // namespace quenlark
