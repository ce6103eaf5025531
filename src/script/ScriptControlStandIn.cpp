#include "script/ScriptControlStandIn.h"

#include <cwchar>
#include <vector>

#include "script/NamedDispatch.h"
#include "script/ScriptHost.h"
#include "script/StandInObject.h"

namespace quenlark {

namespace {

constexpr const wchar_t* kMembers[] = {L"Language", L"AddCode", L"Eval", L"Run"};
enum : DISPID { kLanguage = 1, kAddCode, kEval, kRun };

class ScriptControlStandIn final : public ScriptedStandIn<kMembers> {
public:
    using ScriptedStandIn::ScriptedStandIn;

private:
    // Only the JScript engine is hosted; both of its names are taken.
    HRESULT Language(WORD kind, const DISPPARAMS& params, VARIANT* result) noexcept {
        if (IsPut(kind)) {
            const std::optional<UniqueBstr> name = AsText(PutValue(params));
            if (!name) return DISP_E_BADPARAMCOUNT;
            const bool known = ::_wcsicmp(name->Get(), L"JScript") == 0 || ::_wcsicmp(name->Get(), L"JavaScript") == 0;
            return known ? S_OK : E_INVALIDARG;
        }
        if (!result) return S_OK;
        result->vt = VT_BSTR;
        result->bstrVal = ::SysAllocString(L"JScript");
        return result->bstrVal ? S_OK : E_OUTOFMEMORY;
    }

    // Run(name, arguments...): the arguments go to the function as plain values.
    HRESULT Run(const DISPPARAMS& params, VARIANT* result) {
        const std::optional<UniqueBstr> name = AsText(Argument(params, 0));
        if (!name) return DISP_E_BADPARAMCOUNT;
        const UINT count = params.cArgs - params.cNamedArgs;
        std::vector<UniqueVariant> values(count - 1);
        std::vector<VARIANT> plain;
        plain.reserve(count - 1);
        for (UINT i = 1; i < count; ++i) {
            const HRESULT hr = ::VariantCopyInd(values[i - 1].Get(), const_cast<VARIANT*>(Argument(params, i)));
            if (FAILED(hr)) return hr;
            plain.push_back(*values[i - 1].Get());  // borrowed: `values` keeps the ownership
        }
        return host_.Call(name->Get(), plain, result);
    }

    HRESULT Member(DISPID id, WORD kind, const DISPPARAMS& params, VARIANT* result) override {
        switch (id) {
            case kLanguage:
                return Language(kind, params, result);
            case kAddCode: {
                const std::optional<UniqueBstr> code = AsText(Argument(params, 0));
                return code ? host_.AddCode(code->Get()) : DISP_E_BADPARAMCOUNT;
            }
            case kEval: {
                const std::optional<UniqueBstr> expression = AsText(Argument(params, 0));
                return expression ? host_.Eval(expression->Get(), result) : DISP_E_BADPARAMCOUNT;
            }
            case kRun:
                return Run(params, result);
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }
};

}  // namespace

bool CreateScriptControlStandIn(AutomationObject& obj) noexcept {
    return CreateStandIn<ScriptControlStandIn>(obj, nullptr);
}

bool CreateScriptControl(AutomationObject& obj, const char* progId, const char* language) noexcept {
    // The safe subset is chosen before the language makes the engine, so it holds from the
    // first line of script on; a control that refuses it is not used. The stand-in's host is
    // always set for untrusted data (ScriptHost::Start).
    const bool made = CreateObject(obj, progId) && SetProperty(obj, "UseSafeSubset", {TypedArg::Bool(true)});
    if (!made && !CreateScriptControlStandIn(obj)) return false;
    SetProperty(obj, "Language", {TypedArg::TextArg(language)});
    return true;
}

}  // namespace quenlark
