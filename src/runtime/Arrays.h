// The runtime's arrays: a block of dimensions followed by the elements (texts, byte-sets and
// objects as pointers), created, grown, index-checked and freed here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quenlark {

// Width of one element of an array of the given element type code; pointers for texts,
// byte-sets and objects; 0 for codes that have no array form.
[[nodiscard]] std::size_t ElementWidth(std::uint32_t elementType);

// A new heap block {1, 0}.
[[nodiscard]] void* NewEmptyArray() noexcept;
// Product of the dimension sizes; 0 for no dimensions or a null array.
[[nodiscard]] std::size_t ArrayElementCount(const void* array) noexcept;

struct ArrayElementsView {
    void* first = nullptr;
    std::size_t count = 0;
};
[[nodiscard]] ArrayElementsView ArrayElements(const void* array) noexcept;

// Frees every non-null element pointer, then the block.
void FreeArrayDeep(void* array) noexcept;

// If the array variable holds an image literal, replaces it by a heap copy. Returns the
// variable's (possibly new) block.
void* RtArrayUnshare(std::size_t elementWidth, void** arrayVariable) noexcept;

// Appends one element of `elementWidth` bytes: the array becomes one-dimensional with one
// more element, without spare capacity.
void ArrayAppend(void** arrayVariable, std::size_t elementWidth, const void* element) noexcept;

// The index checks that precede every element access: below 1 raises runtime error 4,
// above the element count runtime error 1. `place` and `position` name the check.
void CheckArrayIndex(const void* array, std::int64_t index, std::uint32_t place, std::uint32_t position) noexcept;

}  // namespace quenlark
