#include "runtime/PieceList.h"

#include <cstdint>
#include <cstring>

#include "runtime/Memory.h"

namespace quenlark {

namespace {
constexpr std::size_t kInitialPieces = 16;  // 256 bytes of pairs on a 64-bit build
}

void PieceList::Add(const char* at, std::size_t length) noexcept {
    if (count_ == capacity_) {
        capacity_ = capacity_ ? capacity_ * 2 : kInitialPieces;
        pieces_.Reset(static_cast<Piece*>(RtRealloc(pieces_.Release(), capacity_ * sizeof(Piece))));
    }
    pieces_.Get()[count_++] = {at, length};
    total_ = length > SIZE_MAX - total_ ? SIZE_MAX : total_ + length;
}

OwnedText PieceList::Join() const noexcept {
    auto* block = static_cast<char*>(RtAllocRaw(total_ == SIZE_MAX ? SIZE_MAX : total_ + 1));
    char* out = block;
    for (const Piece& piece : Pieces()) {
        if (piece.length) std::memcpy(out, piece.at, piece.length);
        out += piece.length;
    }
    *out = '\0';
    return OwnedText::Adopt(block);
}

OwnedTextArray PieceList::ToArray() const noexcept {
    auto* block = static_cast<char*>(RtAllocRaw(8 + count_ * sizeof(char*)));
    WriteInt32(block, 1);
    WriteInt32(block + 4, static_cast<std::int32_t>(count_));
    char* slot = block + 8;
    for (const Piece& piece : Pieces()) {
        char* element = piece.length ? OwnedText::CopyOf({piece.at, piece.length}).Release() : nullptr;
        std::memcpy(slot, &element, sizeof element);
        slot += sizeof element;
    }
    return OwnedTextArray::Adopt(block);
}

}  // namespace quenlark
