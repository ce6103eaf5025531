#include "script/InvokeDispatch.h"

#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <type_traits>
#include <utility>

#include "runtime/Memory.h"
#include "script/AutomationRecord.h"
#include "script/ComOwners.h"
#include "script/ScriptFailure.h"
#include "script/VariantValue.h"
#include "text/WideText.h"

namespace quenlark {

using Microsoft::WRL::ComPtr;

namespace {

// A description that a type info lends out, handed back to it when the owner ends.
template <typename T>
struct LentDescription {
    ITypeInfo* info;
    T* p;
};
template <typename T>
void ForgetDescription(LentDescription<T>* lent) noexcept {
    *lent = {};
}
template <typename T>
void GiveBackDescription(LentDescription<T>* lent) noexcept {
    if (!lent->p) return;
    if constexpr (std::is_same_v<T, TYPEATTR>) {
        lent->info->ReleaseTypeAttr(lent->p);
    } else if constexpr (std::is_same_v<T, FUNCDESC>) {
        lent->info->ReleaseFuncDesc(lent->p);
    } else {
        lent->info->ReleaseVarDesc(lent->p);
    }
}
template <typename T>
using UniqueDescription = UniqueStruct<LentDescription<T>, &ForgetDescription<T>, &GiveBackDescription<T>>;

bool IsByRefType(const TYPEDESC& type) noexcept { return type.vt == VT_PTR || (type.vt & VT_BYREF) != 0; }

// The VARIANTs of one call and everything made for them. DISPPARAMS wants the arguments last
// to first; slots are kept in call order. An owner holds nothing but its VARIANT, so the owners
// are themselves the array the callee reads (and may clear).
class CallArguments {
public:
    explicit CallArguments(std::size_t argc) : variants_(argc), slots_(argc) {}

    // Fills argument `i`; a failure ends the call before Invoke.
    [[nodiscard]] HRESULT Convert(std::size_t i, const TypedArg& arg, bool byRefParameter, WORD& kind) noexcept;
    void WriteBack() noexcept;
    [[nodiscard]] VARIANT* data() noexcept { return variants_.empty() ? nullptr : variants_.front().Get(); }

private:
    static_assert(sizeof(UniqueVariant) == sizeof(VARIANT) && std::is_standard_layout_v<UniqueVariant>);
    struct Slot {
        UniqueBstr text;                       // the string a by-reference text parameter points at
        char** textVariable = nullptr;         // ... and the runtime variable it is written back to
        std::int32_t* boolVariable = nullptr;  // a bool variable lent as VARIANT_BOOL
    };
    // What one argument is converted into: its VARIANT and its slot.
    struct Target {
        VARIANT& v;
        Slot& slot;
    };
    static void ConvertText(Target to, const TypedArg& arg, bool variable, bool byRefParameter) noexcept;
    [[nodiscard]] static HRESULT ConvertObject(Target to, const TypedArg& arg, bool variable, bool byRefParameter,
                                               WORD& kind) noexcept;
    static void ConvertVariant(Target to, const TypedArg& arg, bool variable, bool byRefParameter) noexcept;
    static void ConvertScalar(Target to, const TypedArg& arg, bool variable, bool byRefParameter) noexcept;

    std::vector<UniqueVariant> variants_;
    std::vector<Slot> slots_;
};

HRESULT CallArguments::Convert(std::size_t i, const TypedArg& arg, bool byRefParameter, WORD& kind) noexcept {
    const Target to{*variants_[variants_.size() - 1 - i].Get(), slots_[i]};
    const bool variable = IsByRef(arg.type);  // arg.ptr is the address of the runtime variable
    if (variable && !arg.ptr) return S_OK;    // VT_EMPTY
    switch (arg.Base()) {
        case TC_TEXT:
            ConvertText(to, arg, variable, byRefParameter);
            return S_OK;
        case TC_BYTESET:
            ByteSetToVariant(variable ? *static_cast<void**>(arg.ptr) : arg.ptr, to.v);
            return S_OK;
        case TC_OBJECT:
            return ConvertObject(to, arg, variable, byRefParameter, kind);
        case TC_VARIANT:
            ConvertVariant(to, arg, variable, byRefParameter);
            return S_OK;
        default:
            ConvertScalar(to, arg, variable, byRefParameter);
            return S_OK;
    }
}

void CallArguments::ConvertText(Target to, const TypedArg& arg, bool variable, bool byRefParameter) noexcept {
    const char* text = variable ? *static_cast<char**>(arg.ptr) : arg.TextValue();
    if (variable && byRefParameter) {
        to.slot.text = Cp936ToBstr(text);
        to.slot.textVariable = static_cast<char**>(arg.ptr);
        to.v.vt = VT_BYREF | VT_BSTR;
        to.v.pbstrVal = to.slot.text.Address();
    } else {
        to.v.vt = VT_BSTR;
        to.v.bstrVal = Cp936ToBstr(text).Release();
    }
}

// An object goes as its IDispatch. By value the call holds a reference of its own; by
// reference the record's slot itself is lent, so the record is made to hold the object through
// that interface first (the callee may store another object there).
HRESULT CallArguments::ConvertObject(Target to, const TypedArg& arg, bool variable, bool byRefParameter,
                                     WORD& kind) noexcept {
    auto* record = variable ? *static_cast<AutomationObject**>(arg.ptr) : static_cast<AutomationObject*>(arg.ptr);
    IDispatch* dispatch = nullptr;
    if (record && record->unknown) {
        const HRESULT hr = record->unknown->QueryInterface(IID_PPV_ARGS(&dispatch));
        if (FAILED(hr)) return hr;  // not an automation object: nothing to pass it as
    }
    if (byRefParameter && record) {
        if (dispatch) std::exchange(record->unknown, dispatch)->Release();
        to.v.vt = VT_BYREF | VT_DISPATCH;
        to.v.ppdispVal = reinterpret_cast<IDispatch**>(&record->unknown);
        if (kind == DISPATCH_PROPERTYPUT) kind = DISPATCH_PROPERTYPUTREF;
    } else {
        to.v.vt = VT_DISPATCH;
        to.v.pdispVal = dispatch;
    }
    return S_OK;
}

void CallArguments::ConvertVariant(Target to, const TypedArg& arg, bool variable, bool byRefParameter) noexcept {
    auto* value = variable ? *static_cast<VARIANT**>(arg.ptr) : static_cast<VARIANT*>(arg.ptr);
    if (!value) return;
    if (variable || byRefParameter) {
        to.v.vt = VT_BYREF | VT_VARIANT;
        to.v.pvarVal = value;
    } else if (FAILED(::VariantCopy(&to.v, value))) {
        ::VariantInit(&to.v);  // nothing of a half copy is taken as owned
    }
}

void CallArguments::ConvertScalar(Target to, const TypedArg& arg, bool variable, bool byRefParameter) noexcept {
    const std::uint32_t base = arg.Base();
    const std::optional<ScalarVariantForm> form = ScalarVariantType(base);
    if (!form) return;  // omitted, or no VARIANT form: VT_EMPTY
    if (!variable) {
        ScalarToVariant(base, arg.bits, to.v);
    } else if (byRefParameter) {
        if (base == TC_BOOL) {
            auto* flag = static_cast<std::int32_t*>(arg.ptr);
            if (*flag) *flag = -1;
            to.slot.boolVariable = flag;
        }
        to.v.vt = VT_BYREF | form->vt;
        to.v.byref = arg.ptr;
    } else {
        std::uint64_t bits = 0;
        std::memcpy(&bits, arg.ptr, form->width);
        ScalarToVariant(base, bits, to.v);
    }
}

void CallArguments::WriteBack() noexcept {
    for (Slot& slot : slots_) {
        if (slot.textVariable) {
            OwnedText written = WideToCp936(BstrView(slot.text.Get()));
            RtFree(*slot.textVariable);
            *slot.textVariable = written.Release();
        }
        if (slot.boolVariable) {
            // The callee wrote a 16-bit VARIANT_BOOL into the low half of the 32-bit variable; a
            // false written over a true would otherwise leave 0xFFFF0000, which reads as true.
            *slot.boolVariable = static_cast<std::int16_t>(*slot.boolVariable & 0xFFFF);
        }
    }
}

}  // namespace

HRESULT LookupDispId(IDispatch* dispatch, const char* name, DISPID& id) noexcept {
    if (!dispatch) return E_POINTER;
    UniqueBstr wide = Cp936ToBstr(name);
    wchar_t empty[] = L"";
    LPOLESTR names[] = {wide ? wide.Get() : empty};
    return dispatch->GetIDsOfNames(IID_NULL, names, 1, ::GetUserDefaultLCID(), &id);
}

CallShape ScanCallShape(IDispatch* dispatch, DISPID id, WORD kind, std::size_t argc) {
    CallShape shape{kind, std::vector<bool>(argc, false)};
    ComPtr<ITypeInfo> info;
    if (FAILED(dispatch->GetTypeInfo(0, 0, &info)) || !info) return shape;
    auto attr = UniqueDescription<TYPEATTR>::Adopt({info.Get(), nullptr});
    if (FAILED(info->GetTypeAttr(&attr->p))) return shape;

    if (kind == DISPATCH_METHOD) {
        for (UINT i = 0; i < attr->p->cFuncs; ++i) {
            auto lent = UniqueDescription<FUNCDESC>::Adopt({info.Get(), nullptr});
            if (FAILED(info->GetFuncDesc(i, &lent->p)) || lent->p->memid != id) continue;
            const FUNCDESC* func = lent->p;
            const std::size_t described = std::min<std::size_t>(argc, static_cast<std::size_t>(func->cParams));
            for (std::size_t j = 0; j < described; ++j) shape.byRef[j] = IsByRefType(func->lprgelemdescParam[j].tdesc);
            shape.kind = static_cast<WORD>(func->invkind);
            if (func->invkind == INVOKE_PROPERTYPUT && argc == 0) shape.kind = DISPATCH_PROPERTYGET;
            return shape;
        }
    }
    for (UINT i = 0; i < attr->p->cVars; ++i) {
        auto lent = UniqueDescription<VARDESC>::Adopt({info.Get(), nullptr});
        if (FAILED(info->GetVarDesc(i, &lent->p)) || lent->p->memid != id) continue;
        if (argc > 0) shape.byRef[0] = IsByRefType(lent->p->elemdescVar.tdesc);
        if (shape.kind == DISPATCH_METHOD) shape.kind = DISPATCH_PROPERTYGET;
        break;
    }
    return shape;
}

HRESULT InvokeDispatch(IDispatch* dispatch, DISPID id, WORD kind, VARIANT* result, std::span<const TypedArg> args,
                       EXCEPINFO* exception) noexcept {
    if (!dispatch) return E_POINTER;
    return CatchAtEntry([&] {
        CallShape shape = ScanCallShape(dispatch, id, kind, args.size());
        CallArguments call(args.size());
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (const HRESULT hr = call.Convert(i, args[i], shape.byRef[i], shape.kind); FAILED(hr)) return hr;
        }
        // A put names its value; a put without any argument has no value to name.
        DISPID putId = DISPID_PROPERTYPUT;
        const bool named = (shape.kind & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0 && !args.empty();
        DISPPARAMS params{call.data(), named ? &putId : nullptr, static_cast<UINT>(args.size()), named ? 1u : 0u};
        UINT argError = static_cast<UINT>(-1);
        const HRESULT hr = dispatch->Invoke(id, IID_NULL, 0, shape.kind, &params, result, exception, &argError);
        call.WriteBack();
        return hr;
    });
}

}  // namespace quenlark
