#include "http/ResponseBodyBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/Platform.h"
#include "runtime/Memory.h"
#include "runtime/Value.h"

namespace quenlark {

namespace {

// A byte-set counts its bytes in 32 bits.
constexpr std::uint64_t kMaxByteSetBytes = INT32_MAX;
// Large enough that a block's heap overhead and list entry are lost in its bytes, small enough
// that the unused end of the last block is no matter.
constexpr std::size_t kChunkBytes = 64 * 1024;

}  // namespace

char* ResponseBodyBuffer::InBlock(std::size_t size) noexcept {
    if (!chunks_.empty()) return nullptr;  // once spilled, the order of the bytes is the chunks'
    if (!block_ && expected_ >= size && expected_ <= kMaxByteSetBytes) {
        // Allocated at the first chunk, so that a response without a body costs nothing. A
        // length the heap cannot serve (a lying server, a 32-bit host) must not end the
        // process: the chunks take over.
        block_.Reset(static_cast<unsigned char*>(
            platform::HeapAllocate(kByteSetHeader + static_cast<std::size_t>(expected_), false)));
        capacity_ = block_ ? static_cast<std::size_t>(expected_) : 0;
        expected_ = 0;
    }
    if (!block_ || size > capacity_ - blockUsed_) return nullptr;
    return reinterpret_cast<char*>(block_.Get() + kByteSetHeader + blockUsed_);
}

char* ResponseBodyBuffer::NextChunk(std::size_t size) {
    if (char* at = InBlock(size)) {
        lastInBlock_ = true;
        return at;
    }
    lastInBlock_ = false;
    if (!chunks_.empty()) {
        Chunk& last = chunks_.back();
        if (size <= last.capacity - last.used) return last.bytes.Get() + last.used;
        if (last.used == 0) {
            chunks_.pop_back();  // nothing was kept in it
        } else if (last.used < last.capacity) {
            // Its end will never be written: given back, so that a run of reads that each just
            // miss the space left cannot hold twice the body.
            if (void* trimmed = platform::HeapReallocate(last.bytes.Get(), last.used)) {
                (void)last.bytes.Release();
                last.bytes.Reset(static_cast<char*>(trimmed));
                last.capacity = last.used;
            }
        }
    }
    const std::size_t capacity = std::max(size, kChunkBytes);
    Chunk chunk{HeapBlock::Adopt(static_cast<char*>(platform::HeapAllocate(capacity, false))), 0, capacity};
    if (!chunk.bytes) throw std::bad_alloc();
    chunks_.push_back(std::move(chunk));
    return chunks_.back().bytes.Get();
}

void ResponseBodyBuffer::Commit(std::size_t used) noexcept {
    if (lastInBlock_) {
        blockUsed_ += used;
    } else {
        chunks_.back().used += used;
    }
    total_ += used;
}

std::size_t ResponseBodyBuffer::AllocatedBytes() const noexcept {
    std::size_t bytes = (block_ ? kByteSetHeader + capacity_ : 0) + chunks_.capacity() * sizeof(Chunk);
    for (const Chunk& chunk : chunks_) bytes += chunk.capacity;
    return bytes;
}

OwnedByteSet ResponseBodyBuffer::TakeByteSet() noexcept {
    if (total_ == 0) {
        Clear();
        return {};
    }
    unsigned char* out = nullptr;
    if (!block_) {
        out = static_cast<unsigned char*>(RtAllocRaw(kByteSetHeader + total_));
    } else if (total_ == capacity_) {
        out = block_.Release();  // the announced length, exactly: the usual case
    } else {
        // Cut short (shrinks in place) or run long (grows, once, by what was spilled).
        out = static_cast<unsigned char*>(RtRealloc(block_.Release(), kByteSetHeader + total_));
    }
    WriteInt32(out, 1);
    WriteInt32(out + 4, static_cast<std::int32_t>(total_));
    unsigned char* at = out + kByteSetHeader + blockUsed_;
    for (Chunk& chunk : chunks_) {
        if (chunk.used) std::memcpy(at, chunk.bytes.Get(), chunk.used);
        at += chunk.used;
        chunk.bytes.Reset();
    }
    Clear();
    return OwnedByteSet::Adopt(out);
}

void ResponseBodyBuffer::Clear() noexcept {
    block_.Reset();
    capacity_ = blockUsed_ = total_ = 0;
    lastInBlock_ = false;
    std::vector<Chunk>().swap(chunks_);  // the list's storage too
}

}  // namespace quenlark
