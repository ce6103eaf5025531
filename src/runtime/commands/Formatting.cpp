#include "runtime/commands/Formatting.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "runtime/TextSearch.h"
#include "runtime/Texts.h"
#include "runtime/Truncation.h"

namespace quenlark {

namespace {

// The system's atoi, defined on overflow: leading white space, a sign, decimal digits;
// values beyond 32 bits saturate as the system C library documents for its atoi.
std::int32_t ReadDecimal(const char* text) noexcept {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<std::int32_t>(value);
}

// The ASCII form of a character of code page 936, or 0: the characters that the system's
// LCMAP_HALFWIDTH maps to ASCII (U+3000, U+FF01..U+FF5E, the curly quotes), and the
// full-width reverse solidus, which it leaves alone but which reads as a backslash.
char HalfWidthOf(unsigned char lead, unsigned char trail) noexcept {
    // Row A3 is the full-width ASCII row, except A3A4, which is the full-width yen sign.
    if (lead == 0xA3) return trail >= 0xA1 && trail <= 0xFD && trail != 0xA4 ? static_cast<char>(trail - 0x80) : 0;
    if (lead != 0xA1) return 0;
    switch (trail) {
        case 0xA1:
            return ' ';  // ideographic space
        case 0xAB:
            return '~';
        case 0xAE:
        case 0xAF:
            return '\'';
        case 0xB0:
        case 0xB1:
            return '"';
        case 0xE7:
            return '$';
        default:
            return 0;
    }
}

}  // namespace

std::int32_t ToInteger(const TypedArg& value) noexcept {
    switch (value.type) {
        case TC_BOOL:
        case TC_INT:
        case TC_INT_ALIAS:
        case TC_INT64:
            return value.Low();
        case TC_BYTE:
            return value.Low() & 0xFF;
        case TC_SHORT:
            return static_cast<std::int16_t>(value.Low());
        case TC_FLOAT:
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(TruncateToInt64(value.Float())));
        case TC_DOUBLE:
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(TruncateToInt64(value.Double())));
        case TC_TEXT:
            return ReadDecimal(ToHalfWidth(value.TextValue()).c_str());
        default:
            return 0;
    }
}

OwnedText HexText(std::int32_t value) noexcept {
    // Always a 16-byte block; "FFFFFFFF" and its NUL take 9.
    auto* block = static_cast<char*>(RtAllocRaw(16));
    std::snprintf(block, 16, "%X", static_cast<unsigned>(value));
    return OwnedText::Adopt(block);
}

OwnedText ToHalfWidth(const char* text) noexcept {
    const std::string_view source = TextView(text);
    if (source.empty()) return {};
    // Mapped in place of the system's LCMapString, which would read the text in the ANSI code
    // page of the machine rather than in 936. Characters without an ASCII form stay as they are.
    auto* block = static_cast<char*>(RtAllocRaw(source.size() + 1));
    std::size_t out = 0;
    for (std::size_t at = 0; at < source.size();) {
        const std::size_t length = CharLengthAt(source, at);
        const char half = length == 2 ? HalfWidthOf(static_cast<unsigned char>(source[at]),
                                                    static_cast<unsigned char>(source[at + 1]))
                                      : 0;
        if (half) {
            block[out++] = half;
        } else {
            std::memcpy(block + out, source.data() + at, length);
            out += length;
        }
        at += length;
    }
    block[out] = '\0';
    // Exactly length + 1 bytes, as every produced text.
    if (out < source.size()) block = static_cast<char*>(RtRealloc(block, out + 1));
    return OwnedText::Adopt(block);
}

}  // namespace quenlark
