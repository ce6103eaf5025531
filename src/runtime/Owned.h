// Move-only owners of runtime blocks. Every Text, ByteSet and RtArray that code holds is held
// by one of these, so leaving a scope frees it and no procedure frees by hand. Blocks are
// freed with RtFree, which ignores image constants: an owner may hold kEmptyText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "platform/UniqueResource.h"
#include "runtime/Memory.h"
#include "runtime/Value.h"

namespace quenlark {

void FreeTextArray(void* block) noexcept;  // every element, then the array

// A Text: null, the static empty text, or a heap block of length + 1 bytes.
class OwnedText : public UniqueResource<char*, &RtFree, OwnedText> {
public:
    // A new block holding the bytes and a NUL (also for an empty view: an allocated "").
    [[nodiscard]] static OwnedText CopyOf(std::string_view bytes) noexcept;
    // Null for no bytes (the commands' empty result), else as CopyOf.
    [[nodiscard]] static OwnedText CopyOrNull(std::string_view bytes) noexcept {
        return bytes.empty() ? OwnedText() : CopyOf(bytes);
    }
    // The static empty text (a literal; nothing to free).
    [[nodiscard]] static OwnedText StaticEmpty() noexcept { return Adopt(const_cast<char*>(kEmptyText)); }

    [[nodiscard]] const char* c_str() const noexcept { return p_ ? p_ : ""; }
    [[nodiscard]] std::string_view view() const noexcept { return p_ ? std::string_view(p_) : std::string_view(); }
    [[nodiscard]] std::size_t length() const noexcept { return view().size(); }
    [[nodiscard]] bool empty() const noexcept { return !p_ || !*p_; }
};

// A ByteSet {1, n, bytes}; null is the empty byte-set.
class OwnedByteSet : public UniqueResource<void*, &RtFree, OwnedByteSet> {
public:
    // Null for no bytes, as the byte-set commands return.
    [[nodiscard]] static OwnedByteSet CopyOf(const void* data, std::size_t size) noexcept;

    [[nodiscard]] std::size_t size() const noexcept { return static_cast<std::size_t>(ByteSetSize(p_)); }
    [[nodiscard]] const unsigned char* data() const noexcept { return p_ ? ByteSetBytes(p_) : nullptr; }
    [[nodiscard]] std::string_view view() const noexcept {
        return p_ ? std::string_view(reinterpret_cast<const char*>(data()), size()) : std::string_view();
    }
};

// A one-dimensional RtArray of Text elements, each owned by the array (FreeArrayDeep).
class OwnedTextArray : public UniqueResource<void*, &FreeTextArray, OwnedTextArray> {
public:
    // A new heap block {1, 0}.
    [[nodiscard]] static OwnedTextArray NewEmpty() noexcept;

    [[nodiscard]] std::size_t size() const noexcept;
    // 1-based, as the program's arrays are; the index must be valid (see CheckIndex).
    [[nodiscard]] const char* At(std::size_t index) const noexcept;
    // Replaces element `index` (1-based), freeing the old text.
    void Set(std::size_t index, OwnedText text) noexcept;
    // Grows the array by exactly one element holding `text`.
    void Append(OwnedText text) noexcept;
    // Removes element `index` (1-based), freeing it; later elements move up by one.
    void RemoveAt(std::size_t index) noexcept;
    [[nodiscard]] OwnedTextArray DeepCopy() const noexcept;
};

}  // namespace quenlark
