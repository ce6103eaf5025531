#include "script/NamedDispatch.h"

#include <cwchar>

#include "script/ScriptFailure.h"

namespace quenlark {

HRESULT NamedDispatch::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG NamedDispatch::AddRef() { return ++references_; }

ULONG NamedDispatch::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT NamedDispatch::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT NamedDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT NamedDispatch::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (count == 0) return S_OK;
    for (std::size_t member = 0; member < names_.size(); ++member) {
        if (names[0] && ::_wcsicmp(names[0], names_[member]) == 0) ids[0] = static_cast<DISPID>(member + 1);
    }
    if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    if (count > 1) hr = DISP_E_UNKNOWNNAME;  // the members take no named arguments
    return hr;
}

HRESULT NamedDispatch::Invoke(DISPID id, REFIID riid, LCID, WORD kind, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                              UINT*) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (id < 1 || static_cast<std::size_t>(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
    static DISPPARAMS none{};
    if (result) ::VariantInit(result);
    const HRESULT hr = CatchAtEntry([&] { return Member(id, kind, params ? *params : none, result); });
    if (FAILED(hr) && result) {
        ::VariantClear(result);
        ::VariantInit(result);
    }
    return hr;
}

const VARIANT* NamedDispatch::Argument(const DISPPARAMS& params, UINT index) noexcept {
    // A property put's value is the named argument; the others are positional, last first.
    const UINT positional = params.cArgs - params.cNamedArgs;
    if (index >= positional || !params.rgvarg) return nullptr;
    const VARIANT* v = &params.rgvarg[params.cArgs - 1 - index];
    if (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    return v;
}

const VARIANT* NamedDispatch::PutValue(const DISPPARAMS& params) noexcept {
    if (params.cNamedArgs != 1 || !params.rgdispidNamedArgs || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT ||
        !params.rgvarg) {
        return nullptr;
    }
    const VARIANT* v = &params.rgvarg[0];
    if (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    return v;
}

std::optional<UniqueBstr> NamedDispatch::AsText(const VARIANT* v) noexcept {
    UniqueVariant text;
    if (!v || FAILED(::VariantChangeType(text.Get(), const_cast<VARIANT*>(v), 0, VT_BSTR))) return std::nullopt;
    const VARIANT owned = text.Release();
    return UniqueBstr::Adopt(owned.bstrVal ? owned.bstrVal : ::SysAllocString(L""));
}

std::optional<bool> NamedDispatch::AsBool(const VARIANT* v) noexcept {
    UniqueVariant flag;
    if (!v || FAILED(::VariantChangeType(flag.Get(), const_cast<VARIANT*>(v), 0, VT_BOOL))) return std::nullopt;
    return flag->boolVal != VARIANT_FALSE;
}

std::optional<LONG> NamedDispatch::AsIndex(const VARIANT* v) noexcept {
    UniqueVariant number;
    if (!v || FAILED(::VariantChangeType(number.Get(), const_cast<VARIANT*>(v), 0, VT_I4))) return std::nullopt;
    return number->lVal;
}

}  // namespace quenlark
