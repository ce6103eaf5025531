#include "script/InvokeDispatch.h"

#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "runtime/Memory.h"
#include "script/AutomationObject.h"
#include "script/ComOwners.h"
#include "script/VariantValue.h"
#include "text/WideText.h"

namespace quenlark {

using Microsoft::WRL::ComPtr;

namespace {

// One description borrowed from a type info, handed back on every path.
template <typename T, void (*Free)(ITypeInfo*, T*)>
class HeldDescription {
public:
    explicit HeldDescription(ITypeInfo* info) noexcept : info_(info) {}
    HeldDescription(const HeldDescription&) = delete;
    HeldDescription& operator=(const HeldDescription&) = delete;
    ~HeldDescription() {
        if (p_) Free(info_, p_);
    }
    [[nodiscard]] T** Put() noexcept { return &p_; }
    const T* operator->() const noexcept { return p_; }

private:
    ITypeInfo* info_;
    T* p_ = nullptr;
};
void FreeTypeAttr(ITypeInfo* info, TYPEATTR* p) { info->ReleaseTypeAttr(p); }
void FreeFuncDesc(ITypeInfo* info, FUNCDESC* p) { info->ReleaseFuncDesc(p); }
void FreeVarDesc(ITypeInfo* info, VARDESC* p) { info->ReleaseVarDesc(p); }

bool IsByRefType(const TYPEDESC& type) noexcept { return type.vt == VT_PTR || (type.vt & VT_BYREF) != 0; }

// The VARIANTs of one call and everything made for them. DISPPARAMS wants the arguments last
// to first; slots are kept in call order.
class CallArguments {
public:
    explicit CallArguments(std::size_t argc) : variants_(argc), slots_(argc) {
        for (VARIANT& v : variants_) ::VariantInit(&v);
    }
    CallArguments(const CallArguments&) = delete;
    CallArguments& operator=(const CallArguments&) = delete;
    ~CallArguments() {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].owned) ::VariantClear(&Variant(i));
        }
    }

    void Convert(std::size_t i, const TypedArg& arg, bool byRefParameter, WORD& kind) noexcept;
    void WriteBack() noexcept;
    [[nodiscard]] VARIANT* data() noexcept { return variants_.empty() ? nullptr : variants_.data(); }

private:
    struct Slot {
        bool owned = false;                    // the VARIANT holds something made for the call
        UniqueBstr text;                       // the string a by-reference text parameter points at
        char** textVariable = nullptr;         // ... and the runtime variable it is written back to
        std::int32_t* boolVariable = nullptr;  // a bool variable lent as VARIANT_BOOL
    };
    VARIANT& Variant(std::size_t i) noexcept { return variants_[variants_.size() - 1 - i]; }

    std::vector<VARIANT> variants_;
    std::vector<Slot> slots_;
};

void CallArguments::Convert(std::size_t i, const TypedArg& arg, bool byRefParameter, WORD& kind) noexcept {
    VARIANT& v = Variant(i);
    Slot& slot = slots_[i];
    const std::uint32_t base = arg.Base();
    const bool variable = IsByRef(arg.type);  // arg.ptr is the address of the runtime variable
    if (variable && !arg.ptr) return;

    switch (base) {
        case TC_TEXT: {
            const char* text = variable ? *static_cast<char**>(arg.ptr) : arg.TextValue();
            if (variable && byRefParameter) {
                slot.text = Cp936ToBstr(text);
                slot.textVariable = static_cast<char**>(arg.ptr);
                v.vt = VT_BYREF | VT_BSTR;
                v.pbstrVal = slot.text.Address();
            } else {
                v.vt = VT_BSTR;
                v.bstrVal = Cp936ToBstr(text).Release();
                slot.owned = true;
            }
            return;
        }
        case TC_BYTESET:
            ByteSetToVariant(variable ? *static_cast<void**>(arg.ptr) : arg.ptr, v);
            slot.owned = true;
            return;
        case TC_OBJECT: {
            auto* record =
                variable ? *static_cast<AutomationObject**>(arg.ptr) : static_cast<AutomationObject*>(arg.ptr);
            // The record's pointer is lent as it is: no reference is taken for the call.
            if (byRefParameter && record) {
                v.vt = VT_BYREF | VT_DISPATCH;
                v.ppdispVal = reinterpret_cast<IDispatch**>(&record->unknown);
                if (kind == DISPATCH_PROPERTYPUT) kind = DISPATCH_PROPERTYPUTREF;
            } else {
                v.vt = VT_DISPATCH;
                v.pdispVal = record ? reinterpret_cast<IDispatch*>(record->unknown) : nullptr;
            }
            return;
        }
        case TC_VARIANT: {
            auto* value = variable ? *static_cast<VARIANT**>(arg.ptr) : static_cast<VARIANT*>(arg.ptr);
            if (!value) return;
            if (variable || byRefParameter) {
                v.vt = VT_BYREF | VT_VARIANT;
                v.pvarVal = value;
            } else {
                slot.owned = SUCCEEDED(::VariantCopy(&v, value));
            }
            return;
        }
        default:
            break;
    }

    const std::optional<ScalarVariantForm> form = ScalarVariantType(base);
    if (!form) return;  // omitted, or no VARIANT form: VT_EMPTY
    if (!variable) {
        ScalarToVariant(base, arg.bits, v);
    } else if (byRefParameter) {
        if (base == TC_BOOL) {
            auto* flag = static_cast<std::int32_t*>(arg.ptr);
            if (*flag) *flag = -1;
            slot.boolVariable = flag;
        }
        v.vt = VT_BYREF | form->vt;
        v.byref = arg.ptr;
    } else {
        std::uint64_t bits = 0;
        std::memcpy(&bits, arg.ptr, form->width);
        ScalarToVariant(base, bits, v);
    }
}

void CallArguments::WriteBack() noexcept {
    for (Slot& slot : slots_) {
        if (slot.textVariable) {
            OwnedText written = WideToCp936(BstrView(slot.text.get()));
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
    LPOLESTR names[] = {wide ? wide.get() : empty};
    return dispatch->GetIDsOfNames(IID_NULL, names, 1, ::GetUserDefaultLCID(), &id);
}

CallShape ScanCallShape(IDispatch* dispatch, DISPID id, WORD kind, std::size_t argc) {
    CallShape shape{kind, std::vector<bool>(argc, false)};
    ComPtr<ITypeInfo> info;
    if (FAILED(dispatch->GetTypeInfo(0, 0, &info)) || !info) return shape;
    HeldDescription<TYPEATTR, FreeTypeAttr> attr(info.Get());
    if (FAILED(info->GetTypeAttr(attr.Put()))) return shape;

    if (kind == DISPATCH_METHOD) {
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            HeldDescription<FUNCDESC, FreeFuncDesc> func(info.Get());
            if (FAILED(info->GetFuncDesc(i, func.Put())) || func->memid != id) continue;
            const std::size_t described = std::min<std::size_t>(argc, static_cast<std::size_t>(func->cParams));
            for (std::size_t j = 0; j < described; ++j) shape.byRef[j] = IsByRefType(func->lprgelemdescParam[j].tdesc);
            shape.kind = static_cast<WORD>(func->invkind);
            if (func->invkind == INVOKE_PROPERTYPUT && argc == 0) shape.kind = DISPATCH_PROPERTYGET;
            return shape;
        }
    }
    for (UINT i = 0; i < attr->cVars; ++i) {
        HeldDescription<VARDESC, FreeVarDesc> var(info.Get());
        if (FAILED(info->GetVarDesc(i, var.Put())) || var->memid != id) continue;
        if (argc > 0) shape.byRef[0] = IsByRefType(var->elemdescVar.tdesc);
        if (shape.kind == DISPATCH_METHOD) shape.kind = DISPATCH_PROPERTYGET;
        break;
    }
    return shape;
}

HRESULT InvokeDispatch(IDispatch* dispatch, DISPID id, WORD kind, VARIANT* result, std::span<const TypedArg> args,
                       EXCEPINFO* exception) noexcept {
    if (!dispatch) return E_POINTER;
    // The shape and the arguments are small vectors, but a failed allocation must not end the
    // host process: the call fails instead.
    std::optional<CallShape> made;
    std::optional<CallArguments> madeCall;
    try {
        made.emplace(ScanCallShape(dispatch, id, kind, args.size()));
        madeCall.emplace(args.size());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    CallShape& shape = *made;
    CallArguments& call = *madeCall;
    for (std::size_t i = 0; i < args.size(); ++i) call.Convert(i, args[i], shape.byRef[i], shape.kind);

    // A put names its value; a put without any argument has no value to name.
    DISPID putId = DISPID_PROPERTYPUT;
    const bool named = (shape.kind & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0 && !args.empty();
    DISPPARAMS params{call.data(), named ? &putId : nullptr, static_cast<UINT>(args.size()), named ? 1u : 0u};
    UINT argError = static_cast<UINT>(-1);
    const HRESULT hr = dispatch->Invoke(id, IID_NULL, 0, shape.kind, &params, result, exception, &argError);
    call.WriteBack();
    return hr;
}

}  // namespace quenlark
