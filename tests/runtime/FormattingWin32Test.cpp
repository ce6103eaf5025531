#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "runtime/commands/Formatting.h"

namespace quenlark {
namespace {

// Every double-byte character of code page 936 against the system's own mapping: decoded
// with 936 (never the ANSI code page), mapped with LCMapStringW(0x0804, LCMAP_HALFWIDTH).
// Where that gives one ASCII character, ToHalfWidth must give it; elsewhere the character
// stays as it is. The full-width reverse solidus, which the system leaves alone, is a
// backslash.
TEST(ToHalfWidth, AgreesWithTheSystemMappingForEveryCharacter) {
    int mapped = 0;
    std::string mismatches;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const char bytes[3] = {static_cast<char>(lead), static_cast<char>(trail), 0};
            wchar_t wide = 0;
            if (::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes, 2, &wide, 1) != 1) continue;
            wchar_t half[4] = {};
            const int length = ::LCMapStringW(0x0804, LCMAP_HALFWIDTH, &wide, 1, half, 4);
            const bool ascii = length == 1 && half[0] < 0x80;
            mapped += ascii;
            const std::string expected = wide == 0xFF3C ? "\\"
                                         : ascii        ? std::string(1, static_cast<char>(half[0]))
                                                        : std::string(bytes);
            if (ToHalfWidth(bytes).view() != expected)
                mismatches.append(" ").append(std::to_string(lead * 256 + trail));
        }
    }
    EXPECT_EQ(mismatches, "");
    EXPECT_EQ(mapped, 98);  // U+3000, U+FF01..U+FF5E but U+FF3C, and four quotes
}

}  // namespace
}  // namespace quenlark
