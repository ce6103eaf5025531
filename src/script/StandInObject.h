// How the library's stand-in objects (the script control's and the regular expression's) are
// made and handed out.
#pragma once

#include <new>
#include <utility>

#include "script/AutomationObject.h"
#include "script/NamedDispatch.h"
#include "script/ScriptHost.h"

namespace quenlark {

// Fills the record (releasing what it held) with a new T over a started host that has run
// `code` (none when null). False when that fails; lastResult then holds the failing HRESULT.
template <typename T>
bool CreateStandIn(AutomationObject& obj, const wchar_t* code) noexcept {
    ClearObject(obj);
    ScriptHost host;
    obj.lastResult = host.Start();
    if (SUCCEEDED(obj.lastResult) && code) obj.lastResult = host.AddCode(code);
    if (FAILED(obj.lastResult)) return false;
    T* made = new (std::nothrow) T(std::move(host));
    if (!made) {
        obj.lastResult = E_OUTOFMEMORY;
        return false;
    }
    obj.unknown = static_cast<IDispatch*>(made);  // the one reference it was made with
    return true;
}

// Hands a new object (its one reference) to the caller as VT_DISPATCH, or drops it when the
// caller wants no result. E_OUTOFMEMORY for no object.
[[nodiscard]] inline HRESULT ObjectOut(NamedDispatch* made, VARIANT* result) noexcept {
    if (!made) return E_OUTOFMEMORY;
    if (!result) {
        made->Release();
        return S_OK;
    }
    result->vt = VT_DISPATCH;
    result->pdispVal = made;
    return S_OK;
}

}  // namespace quenlark
