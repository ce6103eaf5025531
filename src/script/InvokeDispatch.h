// The two steps under every property and method operation of the bridge: the name look-up
// and the call with runtime arguments.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <cstddef>
#include <span>
#include <vector>

#include "runtime/Value.h"

namespace quenlark {

// IDispatch::GetIDsOfNames for one name (code page 936), in the user's default locale.
[[nodiscard]] HRESULT LookupDispId(IDispatch* dispatch, const char* name, DISPID& id) noexcept;

// How a call is made, from the member's type information: which arguments go to by-reference
// parameters, and the invoke kind.
struct CallShape {
    WORD kind;
    std::vector<bool> byRef;  // per argument, in call order
};
// A method is described by its first function of that DISPID: its by-reference parameters
// and its invoke kind (a property put called without arguments is a get). Otherwise a
// variable of that DISPID makes argument 0 by-reference when its type is, and a method call a
// get. An object without type information gets every argument by value and the kind as asked.
// Throws only std::bad_alloc.
[[nodiscard]] CallShape ScanCallShape(IDispatch* dispatch, DISPID id, WORD kind, std::size_t argc);

// Calls the member with `args` (call order; DISPPARAMS holds them last to first, a property
// put names its value DISPID_PROPERTYPUT). Each runtime value is converted for its parameter;
// a text variable passed by reference (TC_TEXT | TC_BYREF) to a by-reference parameter gets
// the callee's string back afterwards. An object argument goes as its IDispatch (an object
// without one fails the call with QueryInterface's HRESULT, before Invoke). Returns Invoke's
// HRESULT, or E_OUTOFMEMORY when the call could not be built; `result` may be null when none
// is wanted. With `exception`, an exception the callee raises is described there (the caller
// frees its strings).
[[nodiscard]] HRESULT InvokeDispatch(IDispatch* dispatch, DISPID id, WORD kind, VARIANT* result,
                                     std::span<const TypedArg> args, EXCEPINFO* exception = nullptr) noexcept;

}  // namespace quenlark
