#include "http/ResponseBodyBuffer.h"

#include <cstring>

#include "platform/Platform.h"
#include "runtime/Memory.h"
#include "runtime/Value.h"

namespace quenlark {

namespace {

// A byte-set counts its bytes in 32 bits.
constexpr std::uint64_t kMaxByteSetBytes = INT32_MAX;

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
    return reinterpret_cast<char*>(block_.get() + kByteSetHeader + blockUsed_);
}

char* ResponseBodyBuffer::NextChunk(std::size_t size) {
    if (char* at = InBlock(size)) {
        lastInBlock_ = true;
        return at;
    }
    lastInBlock_ = false;
    chunks_.push_back({std::make_unique<char[]>(size), 0});  // value-initialised: zero-filled
    return chunks_.back().bytes.get();
}

void ResponseBodyBuffer::Commit(std::size_t used) noexcept {
    if (lastInBlock_) {
        blockUsed_ += used;
    } else {
        chunks_.back().used = used;
    }
    total_ += used;
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
        if (chunk.used) std::memcpy(at, chunk.bytes.get(), chunk.used);
        at += chunk.used;
        chunk.bytes.reset();
    }
    Clear();
    return OwnedByteSet::Adopt(out);
}

void ResponseBodyBuffer::Clear() noexcept {
    block_.Reset();
    capacity_ = blockUsed_ = total_ = 0;
    lastInBlock_ = false;
    chunks_.clear();
}

}  // namespace quenlark
