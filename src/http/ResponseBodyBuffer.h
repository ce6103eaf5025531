// Collects a response body chunk by chunk, in amortised constant time per chunk and in memory
// close to the body's size whatever the sizes of the reads. Fresh pages are what a large
// download costs most, so every byte is written as few times as possible: when the response
// announces its length, the chunks are read straight into one block of that length, which then
// becomes the byte-set as it is. Without an announced length (or for what arrives beyond it)
// the chunks are appended to blocks of 64 KiB (a larger read gets a block of its own size), so
// a body sent a byte at a time costs no block and no list entry per read; taking the body
// copies the blocks and frees them as they are copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Platform.h"
#include "platform/UniqueResource.h"
#include "runtime/Memory.h"
#include "runtime/Owned.h"

namespace quenlark {

class ResponseBodyBuffer {
public:
    // The length the response announces. Only a hint: a body that ends early or runs longer is
    // still collected whole, and a length too large to be allocated is ignored.
    void ExpectSize(std::uint64_t size) noexcept { expected_ = size; }
    // A buffer of at least `size` bytes for the next read, its contents undefined. Only the
    // bytes committed are kept. Throws std::bad_alloc when no memory is left for it.
    [[nodiscard]] char* NextChunk(std::size_t size);
    // Keeps the first `used` bytes of the buffer that NextChunk handed out.
    void Commit(std::size_t used) noexcept;
    [[nodiscard]] std::size_t size() const noexcept { return total_; }
    // What the buffer has allocated: its blocks and its list of them.
    [[nodiscard]] std::size_t AllocatedBytes() const noexcept;
    // The whole body (null when empty); the buffer is empty afterwards.
    [[nodiscard]] OwnedByteSet TakeByteSet() noexcept;

private:
    using HeapBlock = UniqueResource<char*, &platform::HeapRelease>;
    struct Chunk {
        HeapBlock bytes;
        std::size_t used = 0;
        std::size_t capacity = 0;
    };
    char* InBlock(std::size_t size) noexcept;
    void Clear() noexcept;

    std::uint64_t expected_ = 0;
    // A byte-set block of `capacity_` bytes, its header written when it is taken.
    UniqueResource<unsigned char*, &RtFree> block_;
    std::size_t capacity_ = 0;
    std::size_t blockUsed_ = 0;
    bool lastInBlock_ = false;
    std::vector<Chunk> chunks_;  // what did not fit into the block, in order after it
    std::size_t total_ = 0;
};

}  // namespace quenlark
