// The byte-set command that the library itself uses: a byte-set of n zero bytes, into which
// the text conversions write their UTF-16 units. The other byte-set commands, which no export
// uses, are in runtime/commands/ByteSets.h.
#pragma once

#include <cstdint>

#include "runtime/Owned.h"

namespace quenlark {

// n zero bytes; null when n <= 0.
[[nodiscard]] OwnedByteSet BlankByteSet(std::int32_t n) noexcept;

}  // namespace quenlark
