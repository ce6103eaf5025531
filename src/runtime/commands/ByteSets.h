// The runtime's byte-set commands that the exports do not use: byte-sets made, cut, joined,
// compared and read. Positions are 1-based (a byte-set's length is ByteSetSize); results are
// new blocks owned by the caller, null for no bytes. BlankByteSet, which the library uses, is
// in runtime/ByteSets.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "runtime/Owned.h"
#include "runtime/Value.h"

namespace quenlark {

// A new byte-set of the parts in order; null when the total is 0.
[[nodiscard]] OwnedByteSet ConcatByteSets(std::initializer_list<const void*> parts) noexcept;
// -1, 0 or 1 by unsigned byte order over n bytes; 0 for n == 0.
[[nodiscard]] int CompareBytes(const void* a, const void* b, std::size_t n) noexcept;

// Address of the first data byte of a byte-set variable, or null.
[[nodiscard]] inline unsigned char* ByteSetDataAddress(void* const* variable) noexcept {
    return *variable ? static_cast<unsigned char*>(*variable) + kByteSetHeader : nullptr;
}

// Null when the address is null or length <= 0.
[[nodiscard]] OwnedByteSet ByteSetFromPointer(const void* address, std::int32_t length) noexcept;
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
