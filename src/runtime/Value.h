// The runtime's value model: type codes, the tagged argument record and the layouts of the
// three heap-block value kinds.
//
//   Text     char* to a NUL-terminated code page 936 string; null is "". A produced text is
//            one heap block of exactly length + 1 bytes.
//   ByteSet  one block {int32 1, int32 n, n bytes}; null (or n == 0) is empty.
//   RtArray  one block {int32 d, int32 size[d], elements packed}; 1-based indexes.
//            Text and ByteSet elements are owned pointers of the platform's pointer width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quenlark {

using Text = char*;

enum TypeCode : std::uint32_t {
    TC_NONE = 0,  // an omitted argument
    TC_BOOL = 0x80000002u,
    TC_DATETIME = 0x80000003u,  // double: days since 1899-12-30, time of day as the fraction
    TC_TEXT = 0x80000004u,
    TC_BYTESET = 0x80000005u,
    TC_INT_ALIAS = 0x80000006u,  // 32-bit; treated exactly like TC_INT everywhere
    TC_BYTE = 0x80000101u,
    TC_SHORT = 0x80000201u,
    TC_INT = 0x80000301u,
    TC_INT64 = 0x80000401u,
    TC_FLOAT = 0x80000501u,
    TC_DOUBLE = 0x80000601u,
    TC_OBJECT = 0x00010030u,
    TC_VARIANT = 0x00010031u,
};

// Added to a type code: the value is the address of the data (of a variable, or of an
// RtArray of that element type).
inline constexpr std::uint32_t TC_BYREF = 0x20000000u;

constexpr std::uint32_t BaseType(std::uint32_t code) { return code & ~TC_BYREF; }
constexpr bool IsByRef(std::uint32_t code) { return (code & TC_BYREF) != 0; }
constexpr bool IsBasicType(std::uint32_t code) { return (code >> 30) == 2u; }
constexpr bool IsNumericBasicType(std::uint32_t code) { return IsBasicType(code) && (code & 0xFFu) == 0x01u; }

// One argument of a generic runtime command: its type code and its value. A scalar keeps its
// bits in `bits`, low word first (the high word is used by 64-bit types only); a text,
// byte-set, object or by-reference address is in `ptr`, a field of its own, so that no address
// is ever cut to 32 bits.
struct TypedArg {
    std::uint32_t type = TC_NONE;
    std::uint64_t bits = 0;  // scalar value, in memory order (low word first)
    void* ptr = nullptr;     // Text, ByteSet, object, variant or by-reference address

    [[nodiscard]] bool Given() const { return type != TC_NONE; }
    [[nodiscard]] std::uint32_t Base() const { return BaseType(type); }

    [[nodiscard]] std::int32_t Low() const { return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)); }
    [[nodiscard]] std::int64_t Int64() const { return static_cast<std::int64_t>(bits); }
    [[nodiscard]] double Double() const {
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    [[nodiscard]] float Float() const {
        const auto low = static_cast<std::uint32_t>(bits);
        float f;
        std::memcpy(&f, &low, sizeof f);
        return f;
    }
    [[nodiscard]] const char* TextValue() const { return static_cast<const char*>(ptr); }

    static TypedArg Omitted() { return {}; }
    static TypedArg Int(std::int32_t v) { return Scalar32(TC_INT, static_cast<std::uint32_t>(v)); }
    static TypedArg Bool(bool v) { return Scalar32(TC_BOOL, v ? 1u : 0u); }
    static TypedArg BoolRaw(std::int32_t v) { return Scalar32(TC_BOOL, static_cast<std::uint32_t>(v)); }
    static TypedArg Byte(std::uint8_t v) { return Scalar32(TC_BYTE, v); }
    static TypedArg Short(std::int16_t v) { return Scalar32(TC_SHORT, static_cast<std::uint16_t>(v)); }
    static TypedArg Int64Value(std::int64_t v) { return {TC_INT64, static_cast<std::uint64_t>(v), nullptr}; }
    static TypedArg FloatValue(float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, sizeof u);
        return Scalar32(TC_FLOAT, u);
    }
    static TypedArg DoubleValue(double v) { return Bits64(TC_DOUBLE, v); }
    static TypedArg DateTime(double v) { return Bits64(TC_DATETIME, v); }
    static TypedArg TextArg(const char* t) { return {TC_TEXT, 0, const_cast<char*>(t)}; }
    static TypedArg ByteSetArg(const void* b) { return {TC_BYTESET, 0, const_cast<void*>(b)}; }
    static TypedArg ByRef(std::uint32_t base, void* address) { return {base | TC_BYREF, 0, address}; }
    static TypedArg Raw(std::uint32_t type, std::uint64_t bits) { return {type, bits, nullptr}; }

private:
    static TypedArg Scalar32(std::uint32_t type, std::uint32_t v) { return {type, v, nullptr}; }
    static TypedArg Bits64(std::uint32_t type, double v) {
        std::uint64_t u;
        std::memcpy(&u, &v, sizeof u);
        return {type, u, nullptr};
    }
};

// ---- Block layouts -------------------------------------------------------------------

inline std::int32_t ReadInt32(const void* at) {
    std::int32_t v;
    std::memcpy(&v, at, sizeof v);
    return v;
}
inline void WriteInt32(void* at, std::int32_t v) { std::memcpy(at, &v, sizeof v); }

// ByteSet {1, n, bytes}
inline constexpr std::size_t kByteSetHeader = 8;
inline std::int32_t ByteSetSize(const void* b) { return b ? ReadInt32(static_cast<const char*>(b) + 4) : 0; }
inline const unsigned char* ByteSetBytes(const void* b) {
    return static_cast<const unsigned char*>(b) + kByteSetHeader;
}

// RtArray {d, size[d], elements}
inline std::int32_t ArrayDimensions(const void* a) { return a ? ReadInt32(a) : 0; }
inline std::size_t ArrayHeaderBytes(const void* a) { return 4 + 4 * static_cast<std::size_t>(ArrayDimensions(a)); }

}  // namespace quenlark
