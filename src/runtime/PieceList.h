// The builder behind the text commands that cut a text into pieces: (address, length) pairs
// that point into the argument text, copied once into a result of the exact final size.
#pragma once

#include <cstddef>
#include <span>

#include "platform/UniqueResource.h"
#include "runtime/Memory.h"
#include "runtime/Owned.h"

namespace quenlark {

class PieceList {
public:
    PieceList() noexcept = default;

    // Keeps the address: the bytes must outlive the list. Growth doubles the storage;
    // exhausted memory is fatal like every runtime allocation, so no piece is ever dropped.
    void Add(const char* at, std::size_t length) noexcept;

    [[nodiscard]] std::size_t count() const noexcept { return count_; }
    [[nodiscard]] std::size_t total() const noexcept { return total_; }

    // One new text of all pieces in order (an allocated "" when they are empty).
    [[nodiscard]] OwnedText Join() const noexcept;
    // A one-dimensional array holding a new text per piece (null for an empty piece).
    [[nodiscard]] OwnedTextArray ToArray() const noexcept;

private:
    struct Piece {
        const char* at;
        std::size_t length;
    };
    UniqueResource<Piece*, &RtFree> pieces_;
    [[nodiscard]] std::span<const Piece> Pieces() const noexcept { return {pieces_.Get(), count_}; }

    std::size_t count_ = 0;
    std::size_t capacity_ = 0;
    std::size_t total_ = 0;  // saturates, so an impossible size fails as exhausted memory
};

}  // namespace quenlark
