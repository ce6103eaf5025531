// NamedDispatch: the IDispatch side of the library's own automation objects (the stand-ins for
// the script control and the regular-expression object). Members are found by name in a fixed
// table, without regard to case as automation clients expect; there is no type information,
// so the bridge passes every argument by value and calls with the kind it asks for.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <atomic>
#include <optional>
#include <span>

#include "script/ComOwners.h"

namespace quenlark {

class NamedDispatch : public IDispatch {
public:
    NamedDispatch(const NamedDispatch&) = delete;
    NamedDispatch& operator=(const NamedDispatch&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD kind, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* badArgument) override;

    // ---- Reading the arguments of a call ----
    // Positional argument `index` in call order, seen through VT_BYREF | VT_VARIANT; null when
    // missing.
    [[nodiscard]] static const VARIANT* Argument(const DISPPARAMS& params, UINT index) noexcept;
    // The value of a property put (the argument named DISPID_PROPERTYPUT); null when missing.
    [[nodiscard]] static const VARIANT* PutValue(const DISPPARAMS& params) noexcept;
    // A value as a string (the empty string for a null BSTR), or nullopt.
    [[nodiscard]] static std::optional<UniqueBstr> AsText(const VARIANT* v) noexcept;
    // A value as a bool, or nullopt.
    [[nodiscard]] static std::optional<bool> AsBool(const VARIANT* v) noexcept;
    // A value as a whole number (a fraction is rounded as VariantChangeType does), or nullopt.
    [[nodiscard]] static std::optional<LONG> AsIndex(const VARIANT* v) noexcept;

protected:
    // `names`: member i has DISPID i + 1. The table must outlive the object.
    explicit NamedDispatch(std::span<const wchar_t* const> names) noexcept : names_(names) {}
    virtual ~NamedDispatch() = default;

    // One call of member `id` (a DISPID from the table). `result` is VT_EMPTY on entry and may
    // be null when the caller wants none. May throw std::bad_alloc: Invoke, the way in, turns it
    // into E_OUTOFMEMORY (script/ScriptFailure.h).
    virtual HRESULT Member(DISPID id, WORD kind, const DISPPARAMS& params, VARIANT* result) = 0;

private:
    std::span<const wchar_t* const> names_;
    std::atomic<ULONG> references_{1};
};

// A property get asked as a get or as a method call (a VBScript-style client may do either).
[[nodiscard]] inline bool IsGet(WORD kind) noexcept { return (kind & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0; }
[[nodiscard]] inline bool IsPut(WORD kind) noexcept { return (kind & DISPATCH_PROPERTYPUT) != 0; }

}  // namespace quenlark
