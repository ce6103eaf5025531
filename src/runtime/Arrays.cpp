#include "runtime/Arrays.h"

#include <cstring>

#include "platform/Platform.h"
#include "runtime/Failure.h"
#include "runtime/Memory.h"
#include "runtime/Owned.h"
#include "runtime/Value.h"

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

void* NewEmptyArray() noexcept {
    void* block = RtAllocRaw(sizeof kEmptyArrayTemplate);
    std::memcpy(block, kEmptyArrayTemplate, sizeof kEmptyArrayTemplate);
    return block;
}

std::size_t ArrayElementCount(const void* array) noexcept {
    const std::int32_t dims = ArrayDimensions(array);
    if (dims <= 0) return 0;
    std::size_t count = 1;
    for (std::int32_t i = 0; i < dims; ++i) {
        count *= static_cast<std::uint32_t>(ReadInt32(static_cast<const char*>(array) + 4 + 4 * i));
    }
    return count;
}

ArrayElementsView ArrayElements(const void* array) noexcept {
    if (!array) return {};
    return {const_cast<char*>(static_cast<const char*>(array)) + ArrayHeaderBytes(array), ArrayElementCount(array)};
}

void FreeArrayDeep(void* array) noexcept {
    if (!array || platform::IsInImage(array)) return;
    const ArrayElementsView elements = ArrayElements(array);
    for (std::size_t i = 0; i < elements.count; ++i) {
        void* element;
        std::memcpy(&element, static_cast<char*>(elements.first) + i * sizeof(void*), sizeof element);
        RtFree(element);
    }
    RtFree(array);
}

void* RtArrayUnshare(std::size_t elementWidth, void** arrayVariable) noexcept {
    void* array = *arrayVariable;
    if (!array || !platform::IsInImage(array)) return array;
    const std::size_t bytes = ArrayHeaderBytes(array) + elementWidth * ArrayElementCount(array);
    void* copy = RtAllocRaw(bytes);
    std::memcpy(copy, array, bytes);
    *arrayVariable = copy;
    return copy;
}

void ArrayAppend(void** arrayVariable, std::size_t elementWidth, const void* element) noexcept {
    if (!*arrayVariable) *arrayVariable = NewEmptyArray();
    auto* block = static_cast<char*>(RtArrayUnshare(elementWidth, arrayVariable));
    const std::size_t count = ArrayElementCount(block);
    const std::size_t header = ArrayHeaderBytes(block);
    if (header != 8) {
        // Rewrite to one dimension: the element area moves down behind the shorter header.
        std::memmove(block + 8, block + header, count * elementWidth);
    }
    WriteInt32(block, 1);
    WriteInt32(block + 4, static_cast<std::int32_t>(count + 1));
    block = static_cast<char*>(RtRealloc(block, 8 + elementWidth * (count + 1)));
    std::memcpy(block + 8 + elementWidth * count, element, elementWidth);
    *arrayVariable = block;
}

void CheckArrayIndex(const void* array, std::int64_t index, std::uint32_t place, std::uint32_t position) noexcept {
    if (index < 1) RaiseRuntimeError(4, place, position);
    if (static_cast<std::uint64_t>(index) > ArrayElementCount(array)) RaiseRuntimeError(1, place, position);
}

// ---- Owners ----------------------------------------------------------------------------

OwnedTextArray OwnedTextArray::NewEmpty() noexcept { return Adopt(NewEmptyArray()); }

std::size_t OwnedTextArray::size() const noexcept { return ArrayElementCount(p_); }

namespace {
char** TextSlot(void* array, std::size_t index) {
    return reinterpret_cast<char**>(static_cast<char*>(ArrayElements(array).first) + (index - 1) * sizeof(char*));
}
}  // namespace

const char* OwnedTextArray::At(std::size_t index) const noexcept {
    char* element;
    std::memcpy(&element, TextSlot(p_, index), sizeof element);
    return element;
}

void OwnedTextArray::Set(std::size_t index, OwnedText text) noexcept {
    char* old;
    std::memcpy(&old, TextSlot(p_, index), sizeof old);
    char* fresh = text.Release();
    std::memcpy(TextSlot(p_, index), &fresh, sizeof fresh);
    RtFree(old);
}

void OwnedTextArray::Append(OwnedText text) noexcept {
    char* element = text.Release();
    ArrayAppend(&p_, sizeof element, &element);
}

void OwnedTextArray::RemoveAt(std::size_t index) noexcept {
    const std::size_t count = size();
    char* old;
    std::memcpy(&old, TextSlot(p_, index), sizeof old);
    RtFree(old);
    char* elements = reinterpret_cast<char*>(TextSlot(p_, 1));
    std::memmove(elements + (index - 1) * sizeof(char*), elements + index * sizeof(char*),
                 (count - index) * sizeof(char*));
    // Keep one dimension; the block keeps its size, which is harmless spare space.
    WriteInt32(p_, 1);
    WriteInt32(static_cast<char*>(p_) + 4, static_cast<std::int32_t>(count - 1));
}

OwnedTextArray OwnedTextArray::DeepCopy() const noexcept {
    OwnedTextArray copy = NewEmpty();
    for (std::size_t i = 1; i <= size(); ++i) {
        const char* element = At(i);
        copy.Append(element ? OwnedText::CopyOf(element) : OwnedText());
    }
    return copy;
}

void FreeTextArray(void* block) noexcept { FreeArrayDeep(block); }

}  // namespace quenlark
