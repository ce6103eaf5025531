#include "runtime/Texts.h"

#include <cstring>

#include "runtime/Memory.h"

namespace quenlark {

std::size_t TextLength(const char* text) noexcept { return text ? std::strlen(text) : 0; }

OwnedText ConcatTexts(std::initializer_list<const char*> parts) noexcept {
    std::size_t total = 0;
    for (const char* part : parts) total += TextLength(part);
    auto* block = static_cast<char*>(RtAlloc(total + 1));
    char* at = block;
    for (const char* part : parts) {
        const std::size_t n = TextLength(part);
        if (n) std::memcpy(at, part, n);
        at += n;
    }
    return OwnedText::Adopt(block);
}

}  // namespace quenlark
