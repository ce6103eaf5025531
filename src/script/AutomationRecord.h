// The record behind the program's object values: one COM automation interface and the outcome
// of the last bridge operation on it. A header of its own, so that the steps under the bridge
// (the call itself, the variant conversions) read the record without the operations above them.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <cstddef>
#include <cstdint>

namespace quenlark {

// A heap block from RtAlloc (so a new one is empty). A variable of this type holds the
// record's address; as an argument it travels as TC_OBJECT with the record in TypedArg::ptr.
struct AutomationObject {
    IUnknown* unknown;        // null: empty. The record holds one reference.
    std::int32_t lastResult;  // HRESULT of the last bridge operation on this record; 0 when none
};
static_assert(offsetof(AutomationObject, unknown) == 0 && offsetof(AutomationObject, lastResult) == sizeof(void*));

}  // namespace quenlark
