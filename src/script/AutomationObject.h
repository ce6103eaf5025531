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

#include "runtime/Owned.h"
#include "runtime/UniqueResource.h"
#include "runtime/Value.h"
#include "script/VariantValue.h"

namespace quenlark {

// The record, a heap block from RtAlloc (so a new one is empty). A variable of this type
// holds the record's address; as an argument it travels as TC_OBJECT with the record in
// TypedArg::ptr.
struct AutomationObject {
    IUnknown* unknown;        // null: empty. The record holds one reference.
    std::int32_t lastResult;  // HRESULT of the last bridge operation on this record; 0 when none
};
static_assert(offsetof(AutomationObject, unknown) == 0 && offsetof(AutomationObject, lastResult) == sizeof(void*));

// ClearObject, then RtFree.
void FreeAutomationRecord(AutomationObject* record) noexcept;

// Move-only owner of one record.
class OwnedAutomationObject : public UniqueResource<AutomationObject*, &FreeAutomationRecord> {
public:
    OwnedAutomationObject() noexcept = default;
    // A new, empty record.
    [[nodiscard]] static OwnedAutomationObject New() noexcept;

    AutomationObject* operator->() const noexcept { return p_; }
    AutomationObject& operator*() const noexcept { return *p_; }
    [[nodiscard]] TypedArg Arg() const noexcept { return {TC_OBJECT, 0, p_}; }

private:
    explicit OwnedAutomationObject(AutomationObject* record) noexcept : UniqueResource(record) {}
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

[[nodiscard]] OwnedText GetTextProperty(AutomationObject& obj, const char* name, MemberArgs args = {}) noexcept;
[[nodiscard]] double GetNumberProperty(AutomationObject& obj, const char* name, MemberArgs args = {}) noexcept;
[[nodiscard]] OwnedAutomationObject GetObjectProperty(AutomationObject& obj, const char* name,
                                                      MemberArgs args = {}) noexcept;
[[nodiscard]] OwnedVariantValue GetVariantProperty(AutomationObject& obj, const char* name,
                                                   MemberArgs args = {}) noexcept;
// True only when Invoke returned exactly S_OK (S_FALSE is false although the put may have
// happened).
bool SetProperty(AutomationObject& obj, const char* name, MemberArgs args) noexcept;
void CallMethod(AutomationObject& obj, const char* name, MemberArgs args = {}) noexcept;
[[nodiscard]] OwnedText CallTextMethod(AutomationObject& obj, const char* name, MemberArgs args = {}) noexcept;
[[nodiscard]] double CallNumberMethod(AutomationObject& obj, const char* name, MemberArgs args = {}) noexcept;
// True only for a VT_BOOL result that is non-zero.
[[nodiscard]] bool CallBoolMethod(AutomationObject& obj, const char* name, MemberArgs args = {}) noexcept;
[[nodiscard]] OwnedAutomationObject CallObjectMethod(AutomationObject& obj, const char* name,
                                                     MemberArgs args = {}) noexcept;

// ---- Result conversions, exposed for tests ----------------------------------------------------

// Numbers by VARIANT type: integers, VT_R4, VT_R8, VT_DATE, VT_CY, VT_BOOL (true is -1.0);
// 0.0 for every other type (texts are not parsed).
[[nodiscard]] double VariantNumber(const VARIANT& v) noexcept;

}  // namespace quenlark
