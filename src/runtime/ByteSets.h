// Runtime commands on byte-sets. Positions are 1-based; results are new blocks owned by the
// caller, null for no bytes.
#pragma once

#include <cstdint>

#include "runtime/Owned.h"
#include "runtime/Value.h"

namespace quenlark {

[[nodiscard]] std::int32_t ByteSetLength(const void* byteSet) noexcept;
// Null when the address is null or length <= 0.
[[nodiscard]] OwnedByteSet ByteSetFromPointer(const void* address, std::int32_t length) noexcept;
// n zero bytes; null when n <= 0.
[[nodiscard]] OwnedByteSet BlankByteSet(std::int32_t n) noexcept;
// First min(n, length) bytes; null for an empty byte-set or n <= 0.
[[nodiscard]] OwnedByteSet ByteSetLeft(const void* byteSet, std::int32_t n) noexcept;
// min(n, length - start + 1) bytes from start (start <= 0 counts as 1); null when empty,
// n <= 0 or start - 1 > length.
[[nodiscard]] OwnedByteSet ByteSetMiddle(const void* byteSet, std::int32_t start, std::int32_t n) noexcept;
// The bytes of any basic value in memory order; a numeric array (TC_BYREF form) gives all
// its element bytes; anything else null.
[[nodiscard]] OwnedByteSet ToByteSet(const TypedArg& value) noexcept;

// A value read out of a byte-set, with its type code.
struct TypedResult {
    std::uint32_t type = TC_NONE;
    std::uint64_t bits = 0;
    OwnedText text;  // for TC_TEXT

    [[nodiscard]] std::int32_t Low() const { return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)); }
};

// Reads a value of `kind` (1 byte, 2 short, 3 int, 4 int64, 5 float, 6 double, 7 bool,
// 8 date-time, 9 the int alias, 10 text) at `position`: omitted reads from the start, an int
// value reads there, an int variable (TC_INT | TC_BYREF) reads there and is advanced past the
// value (or set to -1 at the end). A kind outside 1..10 is runtime error 100.
[[nodiscard]] TypedResult ReadByteSetData(const void* byteSet, std::int32_t kind, const TypedArg& position) noexcept;

}  // namespace quenlark
