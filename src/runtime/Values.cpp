#include "runtime/Values.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/Platform.h"
#include "runtime/Failure.h"

namespace quenlark {

std::size_t ElementWidth(std::uint32_t elementType) {
    switch (BaseType(elementType)) {
        case TC_BYTE:
            return 1;
        case TC_SHORT:
            return 2;
        case TC_BOOL:
        case TC_INT:
        case TC_INT_ALIAS:
        case TC_FLOAT:
            return 4;
        case TC_INT64:
        case TC_DOUBLE:
        case TC_DATETIME:
            return 8;
        case TC_TEXT:
        case TC_BYTESET:
        case TC_OBJECT:
        case TC_VARIANT:
            return sizeof(void*);
        default:
            return 0;
    }
}

std::size_t TextLength(const char* text) noexcept { return text ? std::strlen(text) : 0; }

OwnedText ConcatTexts(std::initializer_list<const char*> parts) noexcept {
    std::size_t total = 0;
    for (const char* part : parts) total += TextLength(part);
    auto* block = static_cast<char*>(RtAlloc(total + 1));
    char* at = block;
    for (const char* part : parts) {
        const std::size_t n = TextLength(part);
        if (n) std::memcpy(at, part, n);
        at += n;
    }
    return OwnedText::Adopt(block);
}

int CompareTexts(const char* a, const char* b) noexcept {
    const int c = std::strcmp(a ? a : "", b ? b : "");  // strcmp compares as unsigned char
    return (c > 0) - (c < 0);
}

OwnedByteSet ConcatByteSets(std::initializer_list<const void*> parts) noexcept {
    std::size_t total = 0;
    for (const void* part : parts) total += static_cast<std::size_t>(ByteSetSize(part));
    if (total == 0) return {};
    auto* block = static_cast<unsigned char*>(RtAllocRaw(kByteSetHeader + total));
    WriteInt32(block, 1);
    WriteInt32(block + 4, static_cast<std::int32_t>(total));
    unsigned char* at = block + kByteSetHeader;
    for (const void* part : parts) {
        const auto n = static_cast<std::size_t>(ByteSetSize(part));
        if (n) std::memcpy(at, ByteSetBytes(part), n);
        at += n;
    }
    return OwnedByteSet::Adopt(block);
}

int CompareBytes(const void* a, const void* b, std::size_t n) noexcept {
    if (n == 0) return 0;
    const int c = std::memcmp(a, b, n);
    return (c > 0) - (c < 0);
}

std::int64_t TruncateToInt64(double value) noexcept {
    // 2^63 is exactly representable; anything at or beyond it (or NaN) has no integer form.
    constexpr double kLimit = 9223372036854775808.0;
    if (std::isnan(value) || value >= kLimit || value < -kLimit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
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
