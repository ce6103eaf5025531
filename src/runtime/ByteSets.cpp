#include "runtime/ByteSets.h"

#include "runtime/Memory.h"
#include "runtime/Value.h"

namespace quenlark {

OwnedByteSet BlankByteSet(std::int32_t n) noexcept {
    if (n <= 0) return {};
    auto* block = static_cast<unsigned char*>(RtAlloc(kByteSetHeader + static_cast<std::size_t>(n)));
    WriteInt32(block, 1);
    WriteInt32(block + 4, n);
    return OwnedByteSet::Adopt(block);
}

}  // namespace quenlark
