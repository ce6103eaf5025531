#include "script/UnicodeEscapes.h"

#include "script/AutomationObject.h"
#include "script/ComOwners.h"
#include "script/ScriptControlStandIn.h"
#include "script/VariantValue.h"

namespace quenlark {

namespace {

// In the script, /\\/g matches one backslash.
const char kDecoderScript[] = "var unUnicode = function(str){return unescape(str.replace(/\\\\/g,\"%\"));}";

// The owner's block as a runtime variable for the length of a call: the bridge may free it and
// store another, and the owner holds whatever the variable holds afterwards.
class LentTextVariable {
public:
    explicit LentTextVariable(OwnedText& owner) noexcept : owner_(owner), variable_(owner.Release()) {}
    LentTextVariable(const LentTextVariable&) = delete;
    LentTextVariable& operator=(const LentTextVariable&) = delete;
    ~LentTextVariable() { owner_.Reset(variable_); }
    [[nodiscard]] TypedArg Arg() noexcept { return TypedArg::ByRef(TC_TEXT, &variable_); }
    [[nodiscard]] const char* Get() const noexcept { return variable_; }

private:
    OwnedText& owner_;
    char* variable_;
};

}  // namespace

OwnedText DecodeUnicodeEscapes(OwnedText& text) noexcept {
    ComApartmentUse com;  // declared first: uninitialised after the control is released
    OwnedAutomationObject control = OwnedAutomationObject::New();
    com.Enter();
    CreateScriptControl(*control, "scriptcontrol", "JScript");  // the system control, else the in-library one
    (void)CallMethod<OwnedText>(*control, "Eval", {TypedArg::TextArg(kDecoderScript)});

    LentTextVariable variable(text);
    OwnedText result = CallMethod<OwnedText>(*control, "Run", {TypedArg::TextArg("unUnicode"), variable.Arg()});
    if (FAILED(control->lastResult) && !IsObjectEmpty(*control)) {
        // Some script engines take no string by reference (VT_BYREF | VT_BSTR) but do take a
        // variant by reference: the same text reaches the function that way.
        OwnedVariantValue lent = OwnedVariantValue::New();
        AssignVariant(lent.Get(), TypedArg::TextArg(variable.Get()));
        result = CallMethod<OwnedText>(*control, "Run", {TypedArg::TextArg("unUnicode"), lent.Arg()});
    }
    return result;
}

}  // namespace quenlark
