// How the library's stand-in objects (the script control's and the regular expression's) are
// made and handed out.
#pragma once

#include <utility>

#include "script/AutomationObject.h"
#include "script/NamedDispatch.h"
#include "script/ScriptFailure.h"
#include "script/ScriptHost.h"

namespace quenlark {

// A stand-in whose members run on a script host of its own; `kNames` is its member table
// (member i has DISPID i + 1).
template <const auto& kNames>
class ScriptedStandIn : public NamedDispatch {
public:
    explicit ScriptedStandIn(ScriptHost host) noexcept : NamedDispatch(kNames), host_(std::move(host)) {}

protected:
    ScriptHost host_;
};

// Fills the record (releasing what it held) with a new T over a started host that has run
// `code` (none when null). False when that fails; lastResult then holds the failing HRESULT.
template <typename T>
bool CreateStandIn(AutomationObject& obj, const wchar_t* code) noexcept {
    ClearObject(obj);
    obj.lastResult = CatchAtEntry([&] {
        ScriptHost host;
        HRESULT hr = host.Start();
        if (SUCCEEDED(hr) && code) hr = host.AddCode(code);
        if (FAILED(hr)) return hr;
        obj.unknown = static_cast<IDispatch*>(new T(std::move(host)));  // the one reference it was made with
        return S_OK;
    });
    return SUCCEEDED(obj.lastResult);
}

// Hands a new object (its one reference) to the caller as VT_DISPATCH, or drops it when the
// caller wants no result.
[[nodiscard]] inline HRESULT ObjectOut(NamedDispatch* made, VARIANT* result) noexcept {
    if (!result) {
        made->Release();
        return S_OK;
    }
    result->vt = VT_DISPATCH;
    result->pdispVal = made;
    return S_OK;
}

}  // namespace quenlark
