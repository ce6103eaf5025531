// Conversions that give the runtime's values, each a line over the code page module
// (platform/CodePages.h): texts from UTF-16, UTF-16 byte-sets from texts, texts from one code
// page to another.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/CodePages.h"
#include "runtime/Owned.h"

namespace quenlark {

// What a text's block comes from, and so what a heap that cannot serve it means.
enum class WhenHeapFails : std::uint8_t {
    kEndProcess,  // a runtime block: fatal, as for every runtime block (runtime/Memory.h)
    kReport,      // kOutOfMemory, for texts made of a server's bytes, which must not end the host
};

// The UTF-16 text up to its first zero unit (where a Text ends) as a Text in `codePage`; null
// for nothing, and on any result but kOk.
[[nodiscard]] ConversionResult TextFromUtf16(std::uint32_t codePage, std::u16string_view in, OwnedText& out,
                                             WhenHeapFails whenHeapFails = WhenHeapFails::kEndProcess) noexcept;

// UTF-8 bytes up to their first NUL as a Text in code page 936: the same text as decoding them to
// UTF-16 and encoding that (TextFromUtf16), made in one pass. Runs of ASCII, the same bytes in
// both, are copied as they stand, and only what lies between them goes through the system's
// conversions, so a page that is mostly markup costs about a copy. Null for nothing, and on any
// result but kOk.
[[nodiscard]] ConversionResult Cp936TextOfUtf8(std::string_view utf8, OwnedText& out,
                                               WhenHeapFails whenHeapFails = WhenHeapFails::kEndProcess) noexcept;

// ---- Runtime commands --------------------------------------------------------------------

// UTF-16 code units with a terminating zero unit, as a byte-set.
[[nodiscard]] OwnedByteSet MultiByteToUtf16(const char* text, std::uint32_t codePage = kCodePageUtf8) noexcept;
// The units (a byte-set as MultiByteToUtf16 gives) in `codePage` (0: the system ANSI code page),
// up to the first NUL.
[[nodiscard]] OwnedText Utf16ToMultiByte(const void* units, std::uint32_t codePage = 0) noexcept;
[[nodiscard]] OwnedText Utf8ToCp936(const char* utf8) noexcept;
[[nodiscard]] OwnedText Cp936ToUtf8(const char* text) noexcept;

}  // namespace quenlark
