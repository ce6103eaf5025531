#include "runtime/Owned.h"

#include <cstring>

#include "runtime/Memory.h"

namespace quenlark {

OwnedText OwnedText::CopyOf(std::string_view bytes) noexcept {
    auto* block = static_cast<char*>(RtAllocRaw(bytes.size() + 1));
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    block[bytes.size()] = '\0';
    return Adopt(block);
}

OwnedByteSet OwnedByteSet::CopyOf(const void* data, std::size_t size) noexcept {
    if (!data || size == 0) return {};
    auto* block = static_cast<unsigned char*>(RtAllocRaw(kByteSetHeader + size));
    WriteInt32(block, 1);
    WriteInt32(block + 4, static_cast<std::int32_t>(size));
    std::memcpy(block + kByteSetHeader, data, size);
    return Adopt(block);
}

}  // namespace quenlark
