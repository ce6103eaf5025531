#include "script/AutomationObject.h"

#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <span>
#include <type_traits>

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
    if (!file || ::LoadTypeLib(file.Get(), &library) != S_OK) return nullptr;
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
    if (std::strchr(typeLibraryFile, '\\')) obj.lastResult = ::RegisterTypeLib(library.Get(), file.Get(), nullptr);
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
void TraceFailedMember(AutomationObject& obj, const char* name, HRESULT hr, UniqueExcepInfo& exception) noexcept {
    if (exception->pfnDeferredFillIn) (void)exception->pfnDeferredFillIn(exception.Get());
    OwnedText description = WideToCp936(BstrView(exception->bstrDescription));
    std::int64_t line = 0;
    std::int64_t column = 0;
    if (description.empty() && hr == DISP_E_EXCEPTION) {
        t_askingAboutFailure = true;
        OwnedAutomationObject error = GetProperty<OwnedAutomationObject>(obj, "Error");
        if (!IsObjectEmpty(*error)) {
            description = GetProperty<OwnedText>(*error, "Description");
            line = static_cast<std::int64_t>(GetProperty<double>(*error, "Line"));
            column = static_cast<std::int64_t>(GetProperty<double>(*error, "Column"));
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
    UniqueExcepInfo exception;
    const bool traced = trace::On() && !t_askingAboutFailure;
    obj.lastResult =
        InvokeDispatch(dispatch.Get(), id, kind, result, PassedArguments(args), traced ? exception.Get() : nullptr);
    if (traced && FAILED(obj.lastResult)) TraceFailedMember(obj, name, obj.lastResult, exception);
    if (FAILED(obj.lastResult) && result) {
        ::VariantClear(result);
        ::VariantInit(result);
    }
}

// What each kind of result reads from the call's VARIANT.
void ReadResult(UniqueVariant&, std::type_identity<void>) noexcept {}
OwnedText ReadResult(UniqueVariant& v, std::type_identity<OwnedText>) noexcept {
    return VariantChangeTypeText(*v.Get());
}
double ReadResult(UniqueVariant& v, std::type_identity<double>) noexcept { return VariantNumber(*v.Get()); }
bool ReadResult(UniqueVariant& v, std::type_identity<bool>) noexcept { return v->vt == VT_BOOL && v->boolVal != 0; }
OwnedVariantValue ReadResult(UniqueVariant& v, std::type_identity<OwnedVariantValue>) noexcept {
    return OwnedVariantValue::Adopt(v.Release());
}
OwnedAutomationObject ReadResult(UniqueVariant& v, std::type_identity<OwnedAutomationObject>) noexcept {
    OwnedAutomationObject made = OwnedAutomationObject::New();
    IUnknown* unknown = nullptr;
    switch (v->vt) {
        case VT_DISPATCH:
        case VT_UNKNOWN:
            unknown = v->punkVal;
            break;
        case VT_BYREF | VT_DISPATCH:
        case VT_BYREF | VT_UNKNOWN:
            unknown = v->ppunkVal ? *v->ppunkVal : nullptr;
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
    return Adopt(static_cast<AutomationObject*>(RtAlloc(sizeof(AutomationObject))));
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
    if (typeLibraryFile && *typeLibraryFile) made = CreateFromTypeLibrary(obj, wideProgId.Get(), typeLibraryFile);
    if (!made) {
        CLSID clsid{};
        obj.lastResult = ::CLSIDFromProgID(wideProgId.Get(), &clsid);
        // A CLSID written in braces is no ProgID; it is read as what it is.
        if (FAILED(obj.lastResult)) obj.lastResult = ::CLSIDFromString(wideProgId.Get(), &clsid);
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

template <typename Result>
Result InvokeFor(AutomationObject& obj, const char* name, WORD kind, MemberArgs args) noexcept {
    UniqueVariant result;
    InvokeMember(obj, name, kind, result.Get(), args);
    return ReadResult(result, std::type_identity<Result>{});
}
template void InvokeFor(AutomationObject&, const char*, WORD, MemberArgs) noexcept;
template OwnedText InvokeFor(AutomationObject&, const char*, WORD, MemberArgs) noexcept;
template double InvokeFor(AutomationObject&, const char*, WORD, MemberArgs) noexcept;
template bool InvokeFor(AutomationObject&, const char*, WORD, MemberArgs) noexcept;
template OwnedAutomationObject InvokeFor(AutomationObject&, const char*, WORD, MemberArgs) noexcept;
template OwnedVariantValue InvokeFor(AutomationObject&, const char*, WORD, MemberArgs) noexcept;

void CallMethod(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    InvokeFor<void>(obj, name, DISPATCH_METHOD, args);
}

bool SetProperty(AutomationObject& obj, const char* name, MemberArgs args) noexcept {
    InvokeMember(obj, name, DISPATCH_PROPERTYPUT, nullptr, args);
    return obj.lastResult == S_OK;
}

// ---- Result conversions ---------------------------------------------------------------------

double VariantNumber(const VARIANT& v) noexcept {
    // Only these types are read; a text is not parsed.
    static constexpr VARTYPE kNumbers[] = {VT_I1, VT_I2, VT_I4, VT_UI1,  VT_UI2, VT_UI4,
                                           VT_R4, VT_R8, VT_CY, VT_DATE, VT_BOOL};
    if (std::find(std::begin(kNumbers), std::end(kNumbers), v.vt) == std::end(kNumbers)) return 0.0;
    UniqueVariant number;
    if (FAILED(::VariantChangeType(number.Get(), const_cast<VARIANT*>(&v), 0, VT_R8))) return 0.0;
    return number->dblVal;
}

}  // namespace quenlark
