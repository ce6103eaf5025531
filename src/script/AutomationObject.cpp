#include "script/AutomationObject.h"

#include <wrl/client.h>

#include <cstring>
#include <span>

#include "runtime/Memory.h"
#include "runtime/Trace.h"
#include "script/ComOwners.h"
#include "script/InvokeDispatch.h"
#include "text/WideText.h"

namespace quenlark {

using Microsoft::WRL::ComPtr;

namespace {

// Any server, and the same without the remote one for systems that reject it with E_INVALIDARG.
constexpr DWORD kLocalContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;
constexpr DWORD kAnyContext = kLocalContext | CLSCTX_REMOTE_SERVER;
static_assert(kAnyContext == 0x17 && kLocalContext == 0x07);

void DropInterface(AutomationObject& obj) noexcept {
    if (IUnknown* old = std::exchange(obj.unknown, nullptr)) old->Release();
}

// A coclass named `progId` in the type library file, or null. Registers the library when the
// file was named with a path (lastResult = RegisterTypeLib's HRESULT).
ComPtr<IUnknown> CreateFromTypeLibrary(AutomationObject& obj, BSTR progId, const char* typeLibraryFile) noexcept {
    UniqueBstr file = Cp936ToBstr(typeLibraryFile);
    ComPtr<ITypeLib> library;
    if (!file || ::LoadTypeLib(file.get(), &library) != S_OK) return nullptr;
    // The hash only speeds the search up; it must be made for the platform that reads it.
    const SYSKIND system = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    const ULONG hash = ::LHashValOfNameSys(system, ::GetUserDefaultLCID(), progId);
    ITypeInfo* found[1] = {};
    MEMBERID member[1] = {};
    USHORT count = 1;
    const HRESULT hr = library->FindName(progId, hash, found, member, &count);
    const ComPtr<ITypeInfo> info = AdoptInterface(count > 0 ? found[0] : nullptr);
    ComPtr<IUnknown> made;
    if (FAILED(hr) || count != 1 || !info || FAILED(info->CreateInstance(nullptr, IID_IUnknown, &made))) return nullptr;
    if (std::strchr(typeLibraryFile, '\\')) obj.lastResult = ::RegisterTypeLib(library.Get(), file.get(), nullptr);
    return made;
}

// The member arguments actually passed: a trailing omitted one is dropped.
std::span<const TypedArg> PassedArguments(MemberArgs args) noexcept {
    std::span<const TypedArg> passed(args.begin(), args.size());
    if (!passed.empty() && !passed.back().Given()) passed = passed.first(passed.size() - 1);
    return passed;
}

// Set while the trace asks an object about its own failure: failures of those questions are
// not traced in turn.
thread_local bool t_askingAboutFailure = false;

// A failed member call in the trace, with the script error the callee described; where it
// described none, what a script control's Error object says (description and position).
void TraceFailedMember(AutomationObject& obj, const char* name, HRESULT hr, EXCEPINFO& exception) noexcept {
    if (exception.pfnDeferredFillIn) (void)exception.pfnDeferredFillIn(&exception);
    OwnedText description = WideToCp936(BstrView(exception.bstrDescription));
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    std::int64_t line = 0;
    std::int64_t column = 0;
    if (description.empty() && hr == DISP_E_EXCEPTION) {
        t_askingAboutFailure = true;
        OwnedAutomationObject error = GetObjectProperty(obj, "Error");
        if (!IsObjectEmpty(*error)) {
            description = GetTextProperty(*error, "Description");
            line = static_cast<std::int64_t>(GetNumberProperty(*error, "Line"));
            column = static_cast<std::int64_t>(GetNumberProperty(*error, "Column"));
        }
        t_askingAboutFailure = false;
    }
    if (line > 0) {
        trace::Line("script", "%s failed, 0x%08lx: %s (line %lld, column %lld)", name ? name : "",
                    static_cast<unsigned long>(hr), description.c_str(), static_cast<long long>(line),
                    static_cast<long long>(column));
    } else {
        trace::Line("script", "%s failed, 0x%08lx%s%s", name ? name : "", static_cast<unsigned long>(hr),
                    description.empty() ? "" : ": ", description.c_str());
    }
}

// The common steps of every property and method operation. `result` (may be null) is VT_EMPTY
// unless the call succeeded: a callee that fills it and then fails does not count.
void InvokeMember(AutomationObject& obj, const char* name, WORD kind, VARIANT* result, MemberArgs args) noexcept {
    if (!obj.unknown) {
        obj.lastResult = E_POINTER;
        return;
    }
    ComPtr<IDispatch> dispatch;
    obj.lastResult = obj.unknown->QueryInterface(IID_PPV_ARGS(&dispatch));
    if (obj.lastResult != S_OK) return;
    DISPID id = DISPID_UNKNOWN;
    obj.lastResult = LookupDispId(dispatch.Get(), name, id);
    if (obj.lastResult != S_OK) return;
    // Only a traced call asks for the exception's description, which the callee then allocates.
    EXCEPINFO exception{};
    const bool traced = trace::On() && !t_askingAboutFailure;
    obj.lastResult =
        InvokeDispatch(dispatch.Get(), id, kind, result, PassedArguments(args), traced ? &exception : nullptr);
    if (traced && FAILED(obj.lastResult)) TraceFailedMember(obj, name, obj.lastResult, exception);
    if (FAILED(obj.lastResult) && result) {
        ::VariantClear(result);
        ::VariantInit(result);
    }
}

OwnedText InvokeForText(AutomationObject& obj, const char* name, WORD kind, MemberArgs args) noexcept {
    UniqueVariant result;
    InvokeMember(obj, name, kind, result.get(), args);
    return VariantBstrText(*result.get());
}

double InvokeForNumber(AutomationObject& obj, const char* name, WORD kind, MemberArgs args) noexcept {
    UniqueVariant result;
    InvokeMember(obj, name, kind, result.get(), args);
    return VariantNumber(*result.get());
}

OwnedAutomationObject InvokeForObject(AutomationObject& obj, const char* name, WORD kind, MemberArgs args) noexcept {
    OwnedAutomationObject made = OwnedAutomationObject::New();
    UniqueVariant result;
    InvokeMember(obj, name, kind, result.get(), args);
    IUnknown* unknown = nullptr;
    switch (result->vt) {
        case VT_DISPATCH:
        case VT_UNKNOWN:
            unknown = result->punkVal;
            break;
        case VT_BYREF | VT_DISPATCH:
        case VT_BYREF | VT_UNKNOWN:
            unknown = result->ppunkVal ? *result->ppunkVal : nullptr;
            break;
        default:
            break;
    }
    if (unknown) {
        unknown->AddRef();
        made->unknown = unknown;
    }
    return made;
}

}  // namespace

// ---- Owner ---------------------------------------------------------------------------------

OwnedAutomationObject OwnedAutomationObject::New() noexcept {
    return OwnedAutomationObject(static_cast<AutomationObject*>(RtAlloc(sizeof(AutomationObject))));
}

void FreeAutomationRecord(AutomationObject* record) noexcept {
    ClearObject(*record);
    RtFree(record);
}

// ---- Object operations ----------------------------------------------------------------------

bool CreateObject(AutomationObject& obj, const char* progId, const char* typeLibraryFile) noexcept {
    DropInterface(obj);
    UniqueBstr wideProgId = Cp936ToBstr(progId);
    if (!wideProgId) {
        obj.lastResult = 0;
        return false;
    }
    ComPtr<IUnknown> made;
    if (typeLibraryFile && *typeLibraryFile) made = CreateFromTypeLibrary(obj, wideProgId.get(), typeLibraryFile);
    if (!made) {
        CLSID clsid{};
        obj.lastResult = ::CLSIDFromProgID(wideProgId.get(), &clsid);
        // A CLSID written in braces is no ProgID; it is read as what it is.
        if (FAILED(obj.lastResult)) obj.lastResult = ::CLSIDFromString(wideProgId.get(), &clsid);
        if (FAILED(obj.lastResult)) return false;
        HRESULT hr = ::CoCreateInstance(clsid, nullptr, kAnyContext, IID_IUnknown, &made);
        if (hr == E_INVALIDARG) hr = ::CoCreateInstance(clsid, nullptr, kLocalContext, IID_IUnknown, &made);
        if (FAILED(hr)) {
            obj.lastResult = hr;
            return false;
        }
    }
    obj.lastResult = ::OleRun(made.Get());
    if (FAILED(obj.lastResult)) return false;
    obj.unknown = made.Detach();
    return true;
}

void ClearObject(AutomationObject& obj) noexcept {
    DropInterface(obj);
    obj.lastResult = 0;
}

bool IsObjectEmpty(const AutomationObject& obj) noexcept { return obj.unknown == nullptr; }

void AssignObject(AutomationObject& target, const AutomationObject& source) noexcept {
    if (&target == &source) return;
    IUnknown* shared = source.unknown;
    if (shared) shared->AddRef();  // before the release: both may hold the same object
    DropInterface(target);
    target.unknown = shared;
}

// ---- Properties and methods -----------------------------------------------------------------

OwnedText GetTextProperty(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    return InvokeForText(obj, name, DISPATCH_PROPERTYGET, args);
}

double GetNumberProperty(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    return InvokeForNumber(obj, name, DISPATCH_PROPERTYGET, args);
}

OwnedAutomationObject GetObjectProperty(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    return InvokeForObject(obj, name, DISPATCH_PROPERTYGET, args);
}

OwnedVariantValue GetVariantProperty(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    UniqueVariant result;
    InvokeMember(obj, name, DISPATCH_PROPERTYGET, result.get(), args);
    return OwnedVariantValue::Adopt(result.Release());
}

bool SetProperty(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    InvokeMember(obj, name, DISPATCH_PROPERTYPUT, nullptr, args);
    return obj.lastResult == S_OK;
}

void CallMethod(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    UniqueVariant result;
    InvokeMember(obj, name, DISPATCH_METHOD, result.get(), args);
}

OwnedText CallTextMethod(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    return InvokeForText(obj, name, DISPATCH_METHOD, args);
}

double CallNumberMethod(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    return InvokeForNumber(obj, name, DISPATCH_METHOD, args);
}

bool CallBoolMethod(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    UniqueVariant result;
    InvokeMember(obj, name, DISPATCH_METHOD, result.get(), args);
    return result->vt == VT_BOOL && result->boolVal != 0;
}

OwnedAutomationObject CallObjectMethod(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    return InvokeForObject(obj, name, DISPATCH_METHOD, args);
}

// ---- Result conversions ---------------------------------------------------------------------

double VariantNumber(const VARIANT& v) noexcept {
    double out = 0.0;
    switch (v.vt) {
        case VT_I2:
            return v.iVal;
        case VT_I4:
            return v.lVal;
        case VT_I1:
            return static_cast<signed char>(v.cVal);
        case VT_UI1:
            return v.bVal;
        case VT_UI2:
            return v.uiVal;
        case VT_UI4:
            return v.ulVal;
        case VT_R4:
            return v.fltVal;
        case VT_R8:
            return v.dblVal;
        case VT_DATE:
            return v.date;
        case VT_CY:
            return SUCCEEDED(::VarR8FromCy(v.cyVal, &out)) ? out : 0.0;
        case VT_BOOL:
            return SUCCEEDED(::VarR8FromBool(v.boolVal, &out)) ? out : 0.0;
        default:
            return 0.0;
    }
}

}  // namespace quenlark
