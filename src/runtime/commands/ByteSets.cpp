#include "runtime/commands/ByteSets.h"

#include <algorithm>
#include <cstring>

#include "runtime/Arrays.h"
#include "runtime/Failure.h"
#include "runtime/Texts.h"

namespace quenlark {

namespace {

constexpr std::uint32_t kPlaceReadByteSetData = 0x04000101;

const std::uint32_t kKindTypes[] = {TC_BYTE,   TC_SHORT, TC_INT,      TC_INT64,     TC_FLOAT,
                                    TC_DOUBLE, TC_BOOL,  TC_DATETIME, TC_INT_ALIAS, TC_TEXT};

}  // namespace

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

OwnedByteSet ByteSetFromPointer(const void* address, std::int32_t length) noexcept {
    if (!address || length <= 0) return {};
    return OwnedByteSet::CopyOf(address, static_cast<std::size_t>(length));
}

OwnedByteSet ByteSetLeft(const void* byteSet, std::int32_t n) noexcept {
    const std::int32_t length = ByteSetSize(byteSet);
    if (length <= 0 || n <= 0) return {};
    return OwnedByteSet::CopyOf(ByteSetBytes(byteSet), static_cast<std::size_t>(std::min(n, length)));
}

OwnedByteSet ByteSetMiddle(const void* byteSet, std::int32_t start, std::int32_t n) noexcept {
    const std::int32_t length = ByteSetSize(byteSet);
    if (length <= 0 || n <= 0) return {};
    if (start <= 0) start = 1;
    if (start - 1 > length) return {};
    const std::int32_t take = std::min(n, length - start + 1);
    if (take <= 0) return {};
    return OwnedByteSet::CopyOf(ByteSetBytes(byteSet) + (start - 1), static_cast<std::size_t>(take));
}

OwnedByteSet ToByteSet(const TypedArg& value) noexcept {
    const std::uint32_t base = value.Base();
    if (IsByRef(value.type)) {
        // An array of a numeric type: all its element bytes.
        if (!IsNumericBasicType(base) || !value.ptr) return {};
        const ArrayElementsView elements = ArrayElements(value.ptr);
        return OwnedByteSet::CopyOf(elements.first, elements.count * ElementWidth(base));
    }
    switch (base) {
        case TC_TEXT: {
            const char* text = value.TextValue();
            return OwnedByteSet::CopyOf(text, TextLength(text));
        }
        case TC_BYTESET:
            return OwnedByteSet::CopyOf(value.ptr ? ByteSetBytes(value.ptr) : nullptr,
                                        static_cast<std::size_t>(ByteSetSize(value.ptr)));
        case TC_BYTE:
        case TC_SHORT:
        case TC_BOOL:
        case TC_INT:
        case TC_INT_ALIAS:
        case TC_FLOAT:
        case TC_INT64:
        case TC_DOUBLE:
        case TC_DATETIME:
            // `bits` holds the value in memory order (little-endian), low bytes first.
            return OwnedByteSet::CopyOf(&value.bits, ElementWidth(base));
        default:
            return {};
    }
}

TypedResult ReadByteSetData(const void* byteSet, std::int32_t kind, const TypedArg& position) noexcept {
    if (kind < 1 || kind > 10) RaiseRuntimeError(100, kPlaceReadByteSetData, 1);
    TypedResult result;
    result.type = kKindTypes[kind - 1];
    if (!byteSet) return result;

    auto* variable = position.type == (TC_INT | TC_BYREF) ? static_cast<std::int32_t*>(position.ptr) : nullptr;
    std::int64_t offset = 0;
    if (variable) {
        offset = static_cast<std::int64_t>(*variable) - 1;
    } else if (position.Given()) {
        offset = static_cast<std::int64_t>(position.Low()) - 1;
    }

    const std::int32_t length = ByteSetSize(byteSet);
    if (offset < 0 || offset >= length) {
        if (variable) *variable = -1;
        return result;
    }

    const unsigned char* at = ByteSetBytes(byteSet) + offset;
    const auto remaining = static_cast<std::size_t>(length - offset);
    std::size_t advance;
    if (result.type == TC_TEXT) {
        const auto* zero = static_cast<const unsigned char*>(std::memchr(at, 0, remaining));
        const std::size_t n = zero ? static_cast<std::size_t>(zero - at) : remaining;
        if (n) result.text = OwnedText::CopyOf(std::string_view(reinterpret_cast<const char*>(at), n));
        advance = n + 1;
    } else {
        const std::size_t width = ElementWidth(result.type);
        std::uint64_t bits = 0;  // missing high bytes read as 0
        std::memcpy(&bits, at, std::min(width, remaining));
        if (result.type == TC_BOOL) bits = static_cast<std::uint32_t>(bits) != 0 ? 1 : 0;
        result.bits = bits;
        advance = width;
    }

    if (variable) {
        const std::int64_t next = static_cast<std::int64_t>(*variable) + static_cast<std::int64_t>(advance);
        *variable = next > length ? -1 : static_cast<std::int32_t>(next);
    }
    return result;
}

}  // namespace quenlark
