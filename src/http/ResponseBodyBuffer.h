// Collects a response body chunk by chunk, in amortised constant time per chunk. Fresh pages
// are what a large download costs most, so every byte is written as few times as possible:
// when the response announces its length, the chunks are read straight into one block of that
// length, which then becomes the byte-set as it is. Without an announced length (or for what
// arrives beyond it) each chunk stays in its own block until the body is taken, and taking it
// frees the chunks as they are copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/Memory.h"
#include "runtime/Owned.h"
#include "runtime/UniqueResource.h"

namespace quenlark {

class ResponseBodyBuffer {
public:
    // The length the response announces. Only a hint: a body that ends early or runs longer is
    // still collected whole, and a length too large to be allocated is ignored.
    void ExpectSize(std::uint64_t size) noexcept { expected_ = size; }
    // A buffer of exactly `size` bytes for the next read. Only the bytes committed are kept.
    [[nodiscard]] char* NextChunk(std::size_t size);
    // Keeps the first `used` bytes of the buffer that NextChunk handed out.
    void Commit(std::size_t used) noexcept;
    [[nodiscard]] std::size_t size() const noexcept { return total_; }
    // The whole body (null when empty); the buffer is empty afterwards.
    [[nodiscard]] OwnedByteSet TakeByteSet() noexcept;

private:
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t used = 0;
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
