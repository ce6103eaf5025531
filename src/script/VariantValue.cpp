#include "script/VariantValue.h"

#include <algorithm>
#include <cstring>

#include "runtime/Arrays.h"
#include "runtime/Memory.h"
#include "runtime/Texts.h"
#include "script/AutomationRecord.h"
#include "text/WideText.h"

namespace quenlark {

namespace {

const char kTrueText[] = "真";
const char kFalseText[] = "假";

// The value area of a VARIANT: where the bytes of a scalar of any width live.
void* ValueArea(VARIANT& v) noexcept { return &v.llVal; }
constexpr std::size_t kValueAreaBytes = sizeof(VARIANT) - offsetof(VARIANT, llVal);

SAFEARRAY* ArrayOf(const VARIANT& v) noexcept {
    if (!(v.vt & VT_ARRAY)) return nullptr;
    if (v.vt & VT_BYREF) return v.pparray ? *v.pparray : nullptr;
    return v.parray;
}

// Elements over all dimensions.
std::size_t ElementCount(const SAFEARRAY* a) noexcept {
    if (!a || a->cDims == 0) return 0;
    std::size_t count = 1;
    for (USHORT i = 0; i < a->cDims; ++i) count *= a->rgsabound[i].cElements;
    return count;
}

// Position of the element that `index` names (1-based; omitted or below 1: the first), or
// nullopt when the array has no such element.
std::optional<std::size_t> ElementPosition(const SAFEARRAY* a, std::optional<std::int32_t> index) noexcept {
    const std::size_t count = ElementCount(a);
    if (index && *index > 0 && static_cast<std::size_t>(*index) > count) return std::nullopt;
    const std::size_t position = (index && *index >= 1) ? static_cast<std::size_t>(*index) - 1 : 0;
    // An empty array has no first element either.
    if (position >= count) return std::nullopt;
    return position;
}

// Where an array's element of a non-VARIANT type begins, with its size.
struct ElementSlot {
    unsigned char* at;
    std::size_t size;
};
ElementSlot SlotOf(const SafeArrayAccess& access, SAFEARRAY* a, std::size_t position) noexcept {
    const std::size_t size = ::SafeArrayGetElemsize(a);
    return {access.data() + position * size, size};
}

}  // namespace

// ---- Owner ---------------------------------------------------------------------------------

OwnedVariantValue OwnedVariantValue::New() noexcept {
    OwnedVariantValue owner = Adopt(VARIANT{});
    owner->vt = VT_I4;
    owner->lVal = 0;
    return owner;
}

OwnedVariantValue OwnedVariantValue::Adopt(VARIANT contents) noexcept {
    OwnedVariantValue owner;
    owner.p_ = static_cast<VariantValue*>(RtAlloc(sizeof(VariantValue)));
    *owner.p_ = contents;
    return owner;
}

void FreeVariantRecord(VariantValue* record) noexcept {
    ClearVariant(record);
    RtFree(record);
}

// ---- Scalars ---------------------------------------------------------------------------------

std::optional<ScalarVariantForm> ScalarVariantType(std::uint32_t baseType) noexcept {
    struct Row {
        std::uint32_t type;
        ScalarVariantForm form;
    };
    static constexpr Row kForms[] = {
        {TC_BOOL, {VT_BOOL, 4}}, {TC_DATETIME, {VT_DATE, 8}}, {TC_INT_ALIAS, {VT_UI4, 4}},
        {TC_BYTE, {VT_UI1, 1}},  {TC_SHORT, {VT_I2, 2}},      {TC_INT, {VT_I4, 4}},
        {TC_INT64, {VT_I8, 8}},  {TC_FLOAT, {VT_R4, 4}},      {TC_DOUBLE, {VT_R8, 8}},
    };
    for (const Row& row : kForms) {
        if (row.type == baseType) return row.form;
    }
    return std::nullopt;
}

void ScalarToVariant(std::uint32_t baseType, std::uint64_t bits, VARIANT& out) noexcept {
    ::VariantInit(&out);
    const std::optional<ScalarVariantForm> form = ScalarVariantType(baseType);
    if (!form) return;
    out.vt = form->vt;
    if (baseType == TC_BOOL) {
        out.boolVal = static_cast<std::uint32_t>(bits) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return;
    }
    std::memcpy(ValueArea(out), &bits, form->width);  // little-endian: the low bytes first
}

void ByteSetToVariant(const void* byteSet, VARIANT& out) noexcept {
    ::VariantInit(&out);
    out.vt = VT_ARRAY | VT_UI1;
    out.parray = nullptr;
    const std::int32_t size = ByteSetSize(byteSet);
    if (size <= 0) return;
    UniqueSafeArray array = UniqueSafeArray::Adopt(::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size)));
    {
        SafeArrayAccess access(array.Get());
        if (!access.data()) return;
        std::memcpy(access.data(), ByteSetBytes(byteSet), static_cast<std::size_t>(size));
    }
    out.parray = array.Release();
}

// ---- Text ------------------------------------------------------------------------------------

OwnedText VariantChangeTypeText(const VARIANT& v) noexcept {
    if (v.vt == VT_BSTR) return WideToCp936(BstrView(v.bstrVal));
    UniqueVariant text;
    if (::VariantChangeType(text.Get(), const_cast<VARIANT*>(&v), 0, VT_BSTR) != S_OK) return {};
    return WideToCp936(BstrView(text->bstrVal));
}

OwnedText VariantToText(const VariantValue* v, std::optional<std::int32_t> index) noexcept {
    if (!v) return {};
    const std::optional<VARIANT> element = ReadVariantElement(*v, index);
    if (!element) return {};
    if (element->vt == VT_BOOL) return OwnedText::CopyOf(element->boolVal ? kTrueText : kFalseText);
    return VariantChangeTypeText(*element);
}

// ---- Variant operations ------------------------------------------------------------------------

void CopyVariant(VariantValue* target, const VariantValue* source) noexcept {
    if (target == source) return;
    if (target) ::VariantClear(target);
    if (target && source) ::VariantCopy(target, const_cast<VariantValue*>(source));
}

void ClearVariant(VariantValue* v) noexcept {
    if (!v) return;
    ::VariantClear(v);
    ::VariantInit(v);
}

std::optional<VARIANT> ReadVariantElement(const VARIANT& v, std::optional<std::int32_t> index) noexcept {
    if (!(v.vt & VT_ARRAY)) return v;
    SAFEARRAY* array = ArrayOf(v);
    const std::optional<std::size_t> position = ElementPosition(array, index);
    if (!position) return std::nullopt;
    SafeArrayAccess access(array);
    if (!access.data()) return std::nullopt;
    const VARTYPE elementType = v.vt & VT_TYPEMASK;
    if (elementType == VT_VARIANT) {
        const VARIANT* element = reinterpret_cast<const VARIANT*>(access.data()) + *position;
        if (element->vt == (VT_BYREF | VT_VARIANT) && element->pvarVal) return *element->pvarVal;
        return *element;
    }
    const ElementSlot slot = SlotOf(access, array, *position);
    VARIANT out{};
    if (elementType == VT_DECIMAL) {
        // A DECIMAL fills the whole VARIANT, its header included.
        std::memcpy(&out.decVal, slot.at, std::min(slot.size, sizeof(DECIMAL)));
    } else {
        std::memcpy(ValueArea(out), slot.at, std::min(slot.size, kValueAreaBytes));
    }
    out.vt = elementType;
    return out;
}

bool ValueToVariant(const TypedArg& value, UniqueVariant& out) noexcept {
    if (IsByRef(value.type)) return false;
    UniqueVariant made;
    switch (value.Base()) {
        case TC_OBJECT: {
            const auto* record = static_cast<const AutomationObject*>(value.ptr);
            made->vt = VT_UNKNOWN;
            made->punkVal = record ? record->unknown : nullptr;
            if (made->punkVal) made->punkVal->AddRef();
            break;
        }
        case TC_VARIANT:
            if (!value.ptr || FAILED(::VariantCopy(made.Get(), static_cast<VARIANT*>(value.ptr)))) return false;
            break;
        case TC_TEXT:
            made->vt = VT_BSTR;
            made->bstrVal = Cp936ToBstr(value.TextValue()).Release();
            break;
        default:
            if (!ScalarVariantType(value.Base())) return false;
            ScalarToVariant(value.Base(), value.bits, *made.Get());
            break;
    }
    out = std::move(made);
    return true;
}

bool ArrayToSafeArray(const TypedArg& value, UniqueVariant& out) noexcept {
    std::uint32_t elementType = value.Base();
    ArrayElementsView source;
    if (elementType == TC_BYTESET) {
        const void* byteSet = IsByRef(value.type) ? *static_cast<void* const*>(value.ptr) : value.ptr;
        source = ArrayElements(byteSet);  // a byte-set is an RtArray of bytes
        elementType = TC_BYTE;
    } else if (IsByRef(value.type)) {
        source = ArrayElements(value.ptr);
    }
    if (source.count == 0 || source.count > ULONG_MAX) return false;

    VARTYPE vt;
    std::size_t width;
    if (elementType == TC_TEXT) {
        vt = VT_BSTR;
        width = sizeof(char*);
    } else if (const std::optional<ScalarVariantForm> form = ScalarVariantType(elementType)) {
        vt = form->vt;
        width = form->width;
    } else {
        return false;
    }
    // SafeArrayCreateVector, not a bare descriptor: it records that the elements are BSTRs, so
    // destroying the array frees them.
    UniqueSafeArray array = UniqueSafeArray::Adopt(::SafeArrayCreateVector(vt, 0, static_cast<ULONG>(source.count)));
    {
        SafeArrayAccess access(array.Get());
        if (!access.data()) return false;
        const auto* from = static_cast<const unsigned char*>(source.first);
        for (std::size_t i = 0; i < source.count; ++i, from += width) {
            if (vt == VT_BSTR) {
                const char* text;
                std::memcpy(&text, from, sizeof text);
                reinterpret_cast<BSTR*>(access.data())[i] = Cp936ToBstr(text).Release();
            } else if (vt == VT_BOOL) {
                reinterpret_cast<VARIANT_BOOL*>(access.data())[i] = ReadInt32(from) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            }
        }
        if (vt != VT_BSTR && vt != VT_BOOL) std::memcpy(access.data(), source.first, source.count * width);
    }
    out.Reset();
    out->vt = VT_ARRAY | vt;
    out->parray = array.Release();
    return true;
}

bool AssignVariant(VariantValue* v, const TypedArg& value, std::optional<std::int32_t> index) noexcept {
    if (!v) return false;
    if (!value.Given()) {
        ClearVariant(v);
        return true;
    }
    UniqueVariant made;
    if (value.Base() == TC_BYTESET || IsByRef(value.type)) {
        if (!ArrayToSafeArray(value, made)) return false;
        ::VariantClear(v);
        *v = made.Release();
        return true;
    }
    if (!(v->vt & VT_ARRAY)) {
        if (!ValueToVariant(value, made)) return false;
        ::VariantClear(v);
        *v = made.Release();
        return true;
    }

    SAFEARRAY* array = ArrayOf(*v);
    const std::optional<std::size_t> position = ElementPosition(array, index);
    if (!position || !ValueToVariant(value, made)) return false;
    const VARTYPE elementType = v->vt & VT_TYPEMASK;
    SafeArrayAccess access(array);
    if (!access.data()) return false;
    if (elementType == VT_VARIANT) {
        VARIANT* element = reinterpret_cast<VARIANT*>(access.data()) + *position;
        ::VariantClear(element);
        *element = made.Release();
        return true;
    }
    if (made->vt != elementType && ::VariantChangeType(made.Get(), made.Get(), 0, elementType) != S_OK) return false;
    const ElementSlot slot = SlotOf(access, array, *position);
    // The element owns what it held: a string, or a reference to an object.
    if (elementType == VT_BSTR) {
        BSTR old;
        std::memcpy(&old, slot.at, sizeof old);
        ::SysFreeString(old);
    } else if (elementType == VT_UNKNOWN || elementType == VT_DISPATCH) {
        IUnknown* old;
        std::memcpy(&old, slot.at, sizeof old);
        if (old) old->Release();
    }
    VARIANT moved = made.Release();  // the element takes over what the new value owns
    if (elementType == VT_DECIMAL) {
        std::memcpy(slot.at, &moved.decVal, std::min(slot.size, sizeof(DECIMAL)));
    } else {
        std::memcpy(slot.at, ValueArea(moved), std::min(slot.size, kValueAreaBytes));
    }
    return true;
}

}  // namespace quenlark
