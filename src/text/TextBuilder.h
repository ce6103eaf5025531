// Texts made of pieces, allocated once for the result: a join of views of known parts, and a
// builder for texts whose pieces come one at a time.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "platform/UniqueResource.h"
#include "runtime/Memory.h"
#include "runtime/Owned.h"

namespace quenlark {

// A new text of the parts in order, in one block of the exact size (an allocated "" when they
// are all empty, as ConcatTexts gives).
[[nodiscard]] OwnedText JoinedText(std::initializer_list<std::string_view> parts) noexcept;

// A text built by appending, in one block that grows by doubling, so that building it takes time
// linear in its size. Exhausted memory is fatal, as for every runtime block.
class TextBuilder {
public:
    TextBuilder() noexcept = default;
    // Makes room for `bytes` in all, so that appends up to that size allocate nothing more.
    void Reserve(std::size_t bytes) noexcept;
    void Append(std::string_view bytes) noexcept;
    // Keeps the first `length` bytes (no more than there are).
    void Truncate(std::size_t length) noexcept;

    [[nodiscard]] bool Started() const noexcept { return static_cast<bool>(text_); }
    [[nodiscard]] std::string_view view() const noexcept { return {text_.Get(), length_}; }
    // The bytes, for changes in place within the text's length.
    [[nodiscard]] char* data() noexcept { return text_.Get(); }
    [[nodiscard]] std::size_t size() const noexcept { return length_; }
    // The text at its exact size (null before anything was reserved or appended); the builder is
    // empty after.
    [[nodiscard]] OwnedText Take() noexcept;

private:
    UniqueResource<char*, &RtFree> text_;
    std::size_t length_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace quenlark
