#include "runtime/commands/MessageBox.h"

#include "platform/Platform.h"
#include "runtime/Formatting.h"
#include "runtime/Owned.h"
#include "runtime/Texts.h"

namespace quenlark {

const char kDefaultMessageBoxCaption[] = "信息";

std::int32_t ShowMessageBox(const TypedArg& message, const TypedArg& flags, const TypedArg& caption,
                            const TypedArg& owner) noexcept {
    // Scalars show as ToText writes them; byte-sets, arrays and objects show an empty message.
    const bool scalar = message.type != TC_TEXT && message.type != TC_BYTESET && !IsByRef(message.type);
    const OwnedText formatted = scalar ? ToText(message) : OwnedText();
    const char* text = message.type == TC_TEXT ? TextView(message.TextValue()).data() : formatted.c_str();
    // Only a caption given as text is read as one; anything else keeps the default.
    const char* title = caption.type == TC_TEXT ? TextView(caption.TextValue()).data() : kDefaultMessageBoxCaption;
    // Window handles are 32-bit values (sign-extended on 64-bit Windows), so an int carries one.
    void* window = owner.type == TC_INT ? reinterpret_cast<void*>(static_cast<std::intptr_t>(owner.Low())) : nullptr;
    const auto style = flags.Given() ? static_cast<unsigned>(flags.Low()) : 0u;
    return platform::ShowMessage(window, text, title, style) - 1;
}

}  // namespace quenlark
