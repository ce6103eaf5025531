// Memory functions of the runtime, on the process heap. The allocating functions never
// return null: exhausted memory shows "内存不足", runs the shutdown sequence and ends the
// process with exit code 0. That is the runtime layer's one failure policy, by design: every
// text, byte-set, array and record block comes from here, and no caller checks for null.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quenlark {

// Zero-filled block. Used wherever fresh memory must read as zero.
[[nodiscard]] void* RtAlloc(std::size_t size) noexcept;
// Block that is not zero-filled; for results whose every byte is written.
[[nodiscard]] void* RtAllocRaw(std::size_t size) noexcept;
// Null: as RtAlloc. Otherwise resizes, possibly moving; the added part is not zero-filled.
[[nodiscard]] void* RtRealloc(void* block, std::size_t size) noexcept;
// Ignores null, values up to 0xFFFF, the library's own constants (anything in its image)
// and unreadable addresses; frees every other block.
void RtFree(const void* block) noexcept;

// The image constants that stand for the empty text and the empty array {1, 0}.
extern const char kEmptyText[1];
extern const std::int32_t kEmptyArrayTemplate[2];

// Shown when an allocation fails; exposed for tests that compare the bytes.
extern const char kOutOfMemoryText[];
extern const char kOutOfMemoryCaption[];

}  // namespace quenlark
