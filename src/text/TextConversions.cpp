#include "text/TextConversions.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/UniqueResource.h"
#include "runtime/ByteSets.h"
#include "runtime/Memory.h"
#include "runtime/Texts.h"

namespace quenlark {

namespace {

// A byte-set counts its bytes in 32 bits: it holds no more UTF-16 units than this.
constexpr std::size_t kMaxByteSetUnits = INT32_MAX / 2;

// A block for a text of `bytes` bytes and its NUL, held by `out`; null when the heap cannot serve
// it and the caller wants to hear of it.
char* TextRoom(OwnedText& out, std::size_t bytes, WhenHeapFails whenHeapFails) noexcept {
    void* block =
        whenHeapFails == WhenHeapFails::kEndProcess ? RtAllocRaw(bytes + 1) : platform::HeapAllocate(bytes + 1, false);
    if (!block) return nullptr;
    out = OwnedText::Adopt(static_cast<char*>(block));
    out.Get()[bytes] = '\0';
    return out.Get();
}

// From one code page to another through UTF-16 held in a runtime block.
OwnedText Recode(const char* text, std::uint32_t from, std::uint32_t to) noexcept {
    UniqueResource<char16_t*, &RtFree> wide;
    std::size_t units = 0;
    const auto room = [&](std::size_t count) noexcept {
        units = count;
        wide.Reset(static_cast<char16_t*>(RtAllocRaw(count * sizeof(char16_t))));
        return wide.Get();
    };
    OwnedText result;
    if (ToUtf16With(from, TextView(text), room) == ConversionResult::kOk)
        (void)TextFromUtf16(to, {wide.Get(), units}, result);
    return result;
}

// Bytes below 0x80 are the same characters in UTF-8 and in code page 936, and end any UTF-8
// sequence before them, so a text may be cut on either side of them and converted in parts.
std::size_t AsciiPrefixLength(std::string_view text) noexcept {
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, sizeof word);
        if (word & 0x8080808080808080ull) break;
    }
    while (at < text.size() && static_cast<unsigned char>(text[at]) < 0x80) ++at;
    return at;
}

// ASCII runs shorter than this stay in the part around them that the system converts, so a
// text that alternates scripts byte by byte still makes few calls.
constexpr std::size_t kLongAsciiRun = 64;

// Where a part that the system converts, starting at `begin` (a byte from 0x80), ends: at the
// next long ASCII run, or where only ASCII is left.
std::size_t EndOfConvertedPart(std::string_view text, std::size_t begin) noexcept {
    std::size_t end = begin;
    for (;;) {
        while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80) ++end;
        const std::size_t run = AsciiPrefixLength(text.substr(end));
        if (run >= kLongAsciiRun || end + run == text.size()) return end;
        end += run;
    }
}

// One piece of the output: `length` bytes from `begin` of the input (ASCII), or of the
// converted parts.
struct Piece {
    bool converted = false;
    std::size_t begin = 0;
    std::size_t length = 0;
};

// Appends the code page 936 form of a UTF-8 part to `converted`.
ConversionResult AppendConverted(std::string_view part, std::u16string& wide, std::string& converted) noexcept {
    ConversionResult result = ToUtf16(kCodePageUtf8, part, wide);
    if (result != ConversionResult::kOk) return result;
    const std::size_t begin = converted.size();
    result = FromUtf16With(kCodePage936, std::u16string_view(wide), [&](std::size_t bytes) noexcept -> char* {
        try {
            converted.resize(begin + bytes);
        } catch (...) {  // std::bad_alloc, or std::length_error
            return nullptr;
        }
        return converted.data() + begin;
    });
    return result;
}

}  // namespace

ConversionResult Cp936TextOfUtf8(std::string_view utf8, OwnedText& out, WhenHeapFails whenHeapFails) noexcept {
    out.Reset();
    utf8 = utf8.substr(0, utf8.find('\0'));
    std::vector<Piece> pieces;
    std::string converted;
    std::u16string wide;
    std::size_t total = 0;
    try {
        for (std::size_t at = 0; at < utf8.size();) {
            const std::size_t asciiEnd = at + AsciiPrefixLength(utf8.substr(at));
            if (asciiEnd > at) pieces.push_back({.converted = false, .begin = at, .length = asciiEnd - at});
            if (asciiEnd == utf8.size()) break;
            // Up to three ASCII bytes after it go with the part: a cut sequence at its end is
            // then decoded with what follows it, as within the whole text (wine's decoder, for
            // one, reads a cut sequence at the very end of its input differently).
            at = std::min(utf8.size(), EndOfConvertedPart(utf8, asciiEnd) + 3);
            const std::size_t begin = converted.size();
            const ConversionResult result = AppendConverted(utf8.substr(asciiEnd, at - asciiEnd), wide, converted);
            if (result != ConversionResult::kOk) return result;
            pieces.push_back({.converted = true, .begin = begin, .length = converted.size() - begin});
            if (wide.capacity() > kLongAsciiRun * 1024) std::u16string().swap(wide);  // not held past its part
        }
    } catch (...) {  // std::bad_alloc from the list of pieces
        return ConversionResult::kOutOfMemory;
    }
    for (const Piece& piece : pieces) total += piece.length;
    if (total > INT_MAX) return ConversionResult::kTooLong;
    if (total == 0) return ConversionResult::kOk;
    char* block = TextRoom(out, total, whenHeapFails);
    if (!block) return ConversionResult::kOutOfMemory;
    for (const Piece& piece : pieces) {
        std::memcpy(block, (piece.converted ? converted.data() : utf8.data()) + piece.begin, piece.length);
        block += piece.length;
    }
    return ConversionResult::kOk;
}

ConversionResult TextFromUtf16(std::uint32_t codePage, std::u16string_view in, OwnedText& out,
                               WhenHeapFails whenHeapFails) noexcept {
    out.Reset();
    const ConversionResult result = FromUtf16With(
        codePage, in.substr(0, in.find(u'\0')), [&](std::size_t bytes) { return TextRoom(out, bytes, whenHeapFails); });
    if (result != ConversionResult::kOk) out.Reset();
    return result;
}

OwnedByteSet MultiByteToUtf16(const char* text, std::uint32_t codePage) noexcept {
    // The NUL gives the terminating unit. Sized by the code page that converts: sizing by the
    // system's ANSI code page made Chinese texts fail or come out cut wherever that code page
    // is not 936.
    const std::string_view source(text ? text : "", TextLength(text) + 1);
    OwnedByteSet block;
    const auto room = [&block](std::size_t units) noexcept {
        block = BlankByteSet(static_cast<std::int32_t>(units * sizeof(char16_t)));
        return reinterpret_cast<char16_t*>(const_cast<unsigned char*>(block.data()));
    };
    if (ToUtf16With(codePage, source, room, {.maxOutput = kMaxByteSetUnits}) != ConversionResult::kOk) return {};
    return block;
}

OwnedText Utf16ToMultiByte(const void* units, std::uint32_t codePage) noexcept {
    // Never beyond the byte-set (a heap block, so its units are aligned).
    const std::int32_t size = ByteSetSize(units);
    if (size <= 0) return {};
    OwnedText text;
    (void)TextFromUtf16(
        codePage, {reinterpret_cast<const char16_t*>(ByteSetBytes(units)), static_cast<std::size_t>(size) / 2}, text);
    return text;
}

OwnedText Utf8ToCp936(const char* utf8) noexcept { return Recode(utf8, kCodePageUtf8, kCodePage936); }

OwnedText Cp936ToUtf8(const char* text) noexcept { return Recode(text, kCodePage936, kCodePageUtf8); }

}  // namespace quenlark
