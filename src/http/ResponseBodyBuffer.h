// Collects a response body chunk by chunk without ever copying what came before: each chunk
// stays in its own block until the body is taken as one byte-set. Taking it frees the chunks
// as they are copied, so the peak is about one body plus one chunk.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "runtime/Owned.h"

namespace quenlark {

class ResponseBodyBuffer {
public:
    // A zero-filled buffer of exactly `size` bytes for the next read.
    [[nodiscard]] char* NextChunk(std::size_t size);
    // Keeps the first `used` bytes of the chunk that NextChunk handed out.
    void Commit(std::size_t used) noexcept;
    [[nodiscard]] std::size_t size() const noexcept { return total_; }
    // The whole body (null when empty); the buffer is empty afterwards.
    [[nodiscard]] OwnedByteSet TakeByteSet() noexcept;

private:
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t used = 0;
    };
    std::vector<Chunk> chunks_;
    std::size_t total_ = 0;
};

}  // namespace quenlark
