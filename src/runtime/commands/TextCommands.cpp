#include "runtime/commands/TextCommands.h"

#include <cstring>
#include <string_view>

#include "runtime/PieceList.h"
#include "runtime/TextSearch.h"
#include "runtime/Texts.h"

namespace quenlark {

OwnedText TrimSpaces(const char* text) noexcept { return OwnedText::CopyOrNull(TrimSpacesView(TextView(text))); }

OwnedText RemoveAllSpaces(const char* text) noexcept {
    const std::string_view source = TextView(text);
    if (source.empty()) return {};
    PieceList pieces;
    std::size_t at = 0;
    for (;;) {
        while (at < source.size()) {
            const std::size_t space = SpaceLengthAt(source, at);
            if (!space) break;
            at += space;
        }
        if (at >= source.size()) break;
        const std::size_t run = at;
        while (at < source.size() && !SpaceLengthAt(source, at)) at += CharLengthAt(source, at);
        pieces.Add(source.data() + run, at - run);
    }
    return pieces.Join();
}

std::int32_t CompareText(const char* a, const char* b, bool exact) noexcept {
    if (exact) {
        const int c = std::strcmp(a ? a : "", b ? b : "");  // strcmp compares as unsigned char
        return (c > 0) - (c < 0);
    }
    const auto* left = reinterpret_cast<const unsigned char*>(a ? a : "");
    const auto* right = reinterpret_cast<const unsigned char*>(b ? b : "");
    for (;; ++left, ++right) {
        const int difference = kFoldTable[*left] - kFoldTable[*right];
        if (difference || !*left) return (difference > 0) - (difference < 0);
    }
}

std::int32_t CharCodeAt(const char* text, std::optional<std::int32_t> position) noexcept {
    const std::int32_t at = position.value_or(1);
    const std::string_view source = TextView(text);
    if (at <= 0 || static_cast<std::size_t>(at) > source.size()) return 0;
    return static_cast<signed char>(source[static_cast<std::size_t>(at - 1)]);
}

OwnedText CharFromCode(std::int32_t code) noexcept {
    const char byte = static_cast<char>(code & 0xFF);
    return byte ? OwnedText::CopyOf({&byte, 1}) : OwnedText();
}

OwnedText ToUpperText(const char* text) noexcept {
    const std::string_view source = TextView(text);
    if (source.empty()) return {};
    OwnedText copy = OwnedText::CopyOf(source);
    char* bytes = copy.Get();
    for (std::size_t at = 0; at < source.size(); at += CharLengthAt(source, at)) {
        if (bytes[at] >= 'a' && bytes[at] <= 'z') bytes[at] = static_cast<char>(bytes[at] - 32);
    }
    return copy;
}

OwnedText SpacesText(std::int32_t n) noexcept {
    if (n < 1) return {};
    auto* block = static_cast<char*>(RtAllocRaw(static_cast<std::size_t>(n) + 1));
    std::memset(block, ' ', static_cast<std::size_t>(n));
    block[n] = '\0';
    return OwnedText::Adopt(block);
}

}  // namespace quenlark
