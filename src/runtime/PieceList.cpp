#include "runtime/PieceList.h"

#include <cstdint>
#include <cstring>

#include "runtime/Memory.h"

namespace quenlark {

namespace {
constexpr std::size_t kInitialPieces = 16;  // 256 bytes of pairs on a 64-bit build
}

PieceList::~PieceList() { RtFree(pieces_); }

void PieceList::Add(const char* at, std::size_t length) noexcept {
    if (count_ == capacity_) {
        capacity_ = capacity_ ? capacity_ * 2 : kInitialPieces;
        pieces_ = static_cast<Piece*>(RtRealloc(pieces_, capacity_ * sizeof(Piece)));
    }
    pieces_[count_++] = {at, length};
    total_ = length > SIZE_MAX - total_ ? SIZE_MAX : total_ + length;
}

OwnedText PieceList::Join() const noexcept {
    auto* block = static_cast<char*>(RtAllocRaw(total_ == SIZE_MAX ? SIZE_MAX : total_ + 1));
    char* out = block;
    for (std::size_t i = 0; i < count_; ++i) {
        if (pieces_[i].length) std::memcpy(out, pieces_[i].at, pieces_[i].length);
        out += pieces_[i].length;
    }
    *out = '\0';
    return OwnedText::Adopt(block);
}

OwnedTextArray PieceList::ToArray() const noexcept {
    auto* block = static_cast<char*>(RtAllocRaw(8 + count_ * sizeof(char*)));
    WriteInt32(block, 1);
    WriteInt32(block + 4, static_cast<std::int32_t>(count_));
    for (std::size_t i = 0; i < count_; ++i) {
        char* element = pieces_[i].length ? OwnedText::CopyOf({pieces_[i].at, pieces_[i].length}).Release() : nullptr;
        std::memcpy(block + 8 + i * sizeof(char*), &element, sizeof element);
    }
    return OwnedTextArray::Adopt(block);
}

}  // namespace quenlark
