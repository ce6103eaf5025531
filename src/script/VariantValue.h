// VariantValue: a runtime value holding one OLE VARIANT in its own heap block (RtAlloc). A
// variable of this type holds the block's address; as an argument it travels as TC_VARIANT
// with the block in TypedArg::ptr. The block owns what its VARIANT holds.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/UniqueResource.h"
#include "runtime/Owned.h"
#include "runtime/Value.h"
#include "script/ComOwners.h"

namespace quenlark {

using VariantValue = VARIANT;

// ClearVariant, then RtFree.
void FreeVariantRecord(VariantValue* record) noexcept;

// Move-only owner of one VariantValue block.
class OwnedVariantValue : public UniqueResource<VariantValue*, &FreeVariantRecord> {
public:
    // A variant as the program creates it: VT_I4 0.
    [[nodiscard]] static OwnedVariantValue New() noexcept;
    // A zero-filled block (VT_EMPTY) that takes over `contents` as it is.
    [[nodiscard]] static OwnedVariantValue Adopt(VARIANT contents) noexcept;

    VariantValue* operator->() const noexcept { return p_; }
    [[nodiscard]] TypedArg Arg() const noexcept { return {TC_VARIANT, 0, p_}; }
};

// Clears the target (when present) and copies the source into it (when present). Copying a
// variant onto itself changes nothing.
void CopyVariant(VariantValue* target, const VariantValue* source) noexcept;
// VariantClear, then VT_EMPTY.
void ClearVariant(VariantValue* v) noexcept;

// The value as text: VT_BOOL "真" / "假", VT_BSTR as it is, anything else through
// VariantChangeType to VT_BSTR; the empty text when that fails. For an array, element `index`
// (1-based; omitted or below 1: the first) is converted instead.
[[nodiscard]] OwnedText VariantToText(const VariantValue* v, std::optional<std::int32_t> index = std::nullopt) noexcept;

// Stores a runtime value into the variant: an omitted value (TC_NONE) clears it; a byte-set or
// an array (TC_BYREF with the element type, ptr = the RtArray) becomes a one-dimensional
// SAFEARRAY; any other value replaces the variant, or, when the variant holds an array,
// element `index` of it. False when the value has no VARIANT form or the index is outside the
// array; the variant is then unchanged.
bool AssignVariant(VariantValue* v, const TypedArg& value, std::optional<std::int32_t> index = std::nullopt) noexcept;

// ---- Steps of the operations above, exposed for the bridge and its tests ------------------

// A plain copy that owns nothing: the variant itself, or for an array the element at
// `index` as a scalar of the element type. Empty when the array has no such element.
[[nodiscard]] std::optional<VARIANT> ReadVariantElement(const VARIANT& v, std::optional<std::int32_t> index) noexcept;

// A VARIANT built from one value without TC_BYREF (TC_OBJECT: VT_UNKNOWN with a reference of
// its own). False for type codes without a VARIANT form.
[[nodiscard]] bool ValueToVariant(const TypedArg& value, UniqueVariant& out) noexcept;

// A byte-set (TC_BYTESET; with TC_BYREF, the address of a byte-set variable) or an array
// (TC_BYREF + element type, ptr = the RtArray) as VT_ARRAY | element type, lower bound 0.
// False for no elements and for element types without a VARIANT form.
[[nodiscard]] bool ArrayToSafeArray(const TypedArg& value, UniqueVariant& out) noexcept;

// VT_ARRAY | VT_UI1 of the byte-set's bytes; an empty byte-set gives a null array.
void ByteSetToVariant(const void* byteSet, VARIANT& out) noexcept;

// VARIANT type and width in bytes of a scalar runtime type code, or nullopt.
struct ScalarVariantForm {
    VARTYPE vt;
    std::size_t width;
};
[[nodiscard]] std::optional<ScalarVariantForm> ScalarVariantType(std::uint32_t baseType) noexcept;
// Writes a scalar of the given runtime type (bits in memory order) as its VARIANT. TC_BOOL
// becomes VARIANT_TRUE / VARIANT_FALSE.
void ScalarToVariant(std::uint32_t baseType, std::uint64_t bits, VARIANT& out) noexcept;

// Text of a VARIANT by the bridge's text rule, the system's own conversion: VT_BSTR directly,
// others through VariantChangeType (flags 0), so a VT_BOOL reads as the system words it,
// where VariantToText gives the runtime's; the empty text when the conversion fails.
[[nodiscard]] OwnedText VariantChangeTypeText(const VARIANT& v) noexcept;

}  // namespace quenlark
