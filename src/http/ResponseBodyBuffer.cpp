#include "http/ResponseBodyBuffer.h"

#include <cstring>

#include "runtime/Memory.h"
#include "runtime/Value.h"

namespace quenlark {

char* ResponseBodyBuffer::NextChunk(std::size_t size) {
    chunks_.push_back({std::make_unique<char[]>(size), 0});  // value-initialised: zero-filled
    return chunks_.back().bytes.get();
}

void ResponseBodyBuffer::Commit(std::size_t used) noexcept {
    chunks_.back().used = used;
    total_ += used;
}

OwnedByteSet ResponseBodyBuffer::TakeByteSet() noexcept {
    if (total_ == 0) {
        chunks_.clear();
        return {};
    }
    auto* block = static_cast<unsigned char*>(RtAllocRaw(kByteSetHeader + total_));
    WriteInt32(block, 1);
    WriteInt32(block + 4, static_cast<std::int32_t>(total_));
    unsigned char* at = block + kByteSetHeader;
    for (Chunk& chunk : chunks_) {
        if (chunk.used) std::memcpy(at, chunk.bytes.get(), chunk.used);
        at += chunk.used;
        chunk.bytes.reset();
    }
    chunks_.clear();
    total_ = 0;
    return OwnedByteSet::Adopt(block);
}

}  // namespace quenlark
