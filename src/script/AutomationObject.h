// AutomationObject: a runtime value holding one COM automation interface, and the bridge
// operations on it. Everything goes through IDispatch: name look-up, then Invoke; member
// arguments are runtime values (TypedArg) in call order, converted to VARIANTs for the call.
//
// The bridge never initialises COM: its callers do, on the calling thread. No operation shows
// a message or throws; a failed step leaves its HRESULT in the record's lastResult and the
// operation returns its failure value (empty text, 0.0, false, an empty record).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "platform/UniqueResource.h"
#include "runtime/Owned.h"
#include "runtime/Value.h"
#include "script/AutomationRecord.h"
#include "script/VariantValue.h"

namespace quenlark {

// ClearObject, then RtFree.
void FreeAutomationRecord(AutomationObject* record) noexcept;

// Move-only owner of one record.
class OwnedAutomationObject : public UniqueResource<AutomationObject*, &FreeAutomationRecord, OwnedAutomationObject> {
public:
    // A new, empty record.
    [[nodiscard]] static OwnedAutomationObject New() noexcept;

    AutomationObject* operator->() const noexcept { return p_; }
    AutomationObject& operator*() const noexcept { return *p_; }
    [[nodiscard]] TypedArg Arg() const noexcept { return {TC_OBJECT, 0, p_}; }
};

// ---- Object operations ----------------------------------------------------------------------

// Makes the object named by a ProgID or by a CLSID in braces ("{...}"). With a type library
// file, the library is asked for a coclass of that name first (and registered when the file
// is given with a path). Releases what the record held before. False when nothing was made;
// an empty progId sets lastResult to 0.
bool CreateObject(AutomationObject& obj, const char* progId, const char* typeLibraryFile = nullptr) noexcept;
// Releases the interface; interface and lastResult become 0.
void ClearObject(AutomationObject& obj) noexcept;
[[nodiscard]] bool IsObjectEmpty(const AutomationObject& obj) noexcept;
// The target shares the source's interface (one more reference); its lastResult stays.
void AssignObject(AutomationObject& target, const AutomationObject& source) noexcept;

// ---- Properties and methods -----------------------------------------------------------------
//
// Member arguments in call order. A trailing omitted argument (TC_NONE) is dropped; an omitted
// argument before a given one is passed as VT_EMPTY. Texts go through code page 936.

using MemberArgs = std::initializer_list<TypedArg>;

// One member call, its result read as `Result`:
//   OwnedText              VT_BSTR as it is, anything else through VariantChangeType
//                          (VariantChangeTypeText); the empty text when that fails
//   double                 VariantNumber
//   bool                   true only for a VT_BOOL that is non-zero
//   OwnedAutomationObject  the object of a VT_DISPATCH or VT_UNKNOWN (by reference too), with
//                          a reference of its own; an empty record for any other result
//   OwnedVariantValue      the VARIANT as it came
// A failed call reads as VT_EMPTY: a callee that fills the result and then fails does not count.
template <typename Result>
[[nodiscard]] Result InvokeFor(AutomationObject& obj, const char* name, WORD kind, MemberArgs args) noexcept;

template <typename Result>
[[nodiscard]] Result GetProperty(AutomationObject& obj, const char* name, MemberArgs args = {}) noexcept {
    return InvokeFor<Result>(obj, name, DISPATCH_PROPERTYGET, args);
}
template <typename Result>
[[nodiscard]] Result CallMethod(AutomationObject& obj, const char* name, MemberArgs args = {}) noexcept {
    return InvokeFor<Result>(obj, name, DISPATCH_METHOD, args);
}
// A method whose result, if any, is dropped.
void CallMethod(AutomationObject& obj, const char* name, MemberArgs args = {}) noexcept;
// True only when Invoke returned exactly S_OK (S_FALSE is false although the put may have
// happened).
bool SetProperty(AutomationObject& obj, const char* name, MemberArgs args) noexcept;

// ---- Result conversions, exposed for tests ----------------------------------------------------

// Numbers by VARIANT type: integers, VT_R4, VT_R8, VT_DATE, VT_CY, VT_BOOL (true is -1.0);
// 0.0 for every other type (texts are not parsed).
[[nodiscard]] double VariantNumber(const VARIANT& v) noexcept;

}  // namespace quenlark
