// Shared by the fuzz targets: texts taken from the input, the character boundaries of a code
// page 936 text, and the checks that every produced block must pass.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/Owned.h"
#include "runtime/TextCommands.h"
#include "runtime/TextSearch.h"

extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void* p);
extern "C" int __sanitizer_get_ownership(const volatile void* p);

namespace quenlark::fuzz {

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

#define FUZZ_CHECK(condition)                                 \
    do {                                                      \
        if (!(condition)) ::quenlark::fuzz::Fail(#condition); \
    } while (0)
// Checks, then leaves the (void) function.
#define FUZZ_CHECK_RETURN(condition) \
    do {                             \
        FUZZ_CHECK(condition);       \
        return;                      \
    } while (0)

// A text without NUL bytes (NUL would end it anyway), biased towards the bytes that matter:
// ASCII, spaces, separators, double-byte lead bytes and the single bytes 0x80 and 0xFF.
inline std::string TakeText(FuzzedDataProvider& input, std::size_t maxLength = 256) {
    std::string text = input.ConsumeRandomLengthString(maxLength);
    for (char& c : text) {
        if (c == '\0') c = ' ';
    }
    return text;
}

// Makes a text well-formed code page 936: a lead byte (0x81-0xFE) must be followed by a trail
// byte (0x40-0xFE but 0x7F); stray bytes become '?'. Texts that the library converts from
// UTF-16 (response headers, decoded pages) are always of this kind.
inline void MakeWellFormed936(std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) continue;
        const bool lead = c >= 0x81 && c <= 0xFE;
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (lead && next >= 0x40 && next <= 0xFE && next != 0x7F) {
            ++i;
        } else {
            text[i] = '?';
        }
    }
}

// 0-based offsets where whole characters start: a lead byte (0x81-0xFE) begins a two-byte
// character, every other byte is one.
inline std::vector<bool> CharacterStarts(const std::string& text) {
    std::vector<bool> starts(text.size() + 1, false);
    std::size_t i = 0;
    while (i < text.size()) {
        starts[i] = true;
        i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    }
    if (i == text.size()) starts[i] = true;
    return starts;
}

inline char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool MatchesAt(const std::string& text, std::size_t at, const std::string& sub, bool ignoreCase) {
    if (at + sub.size() > text.size()) return false;
    for (std::size_t i = 0; i < sub.size(); ++i) {
        const char a = text[at + i];
        const char b = sub[i];
        if (a != b && !(ignoreCase && Fold(a) == Fold(b))) return false;
    }
    return true;
}

// A produced text: a live heap block of exactly length + 1 bytes (or null, or the literal "").
inline void CheckTextBlock(const OwnedText& text) {
    if (!text.Get() || text.Get() == kEmptyText) return;
    FUZZ_CHECK(__sanitizer_get_ownership(text.Get()));
    FUZZ_CHECK(__sanitizer_get_allocated_size(text.Get()) == std::strlen(text.Get()) + 1);
}

inline std::string Str(const OwnedText& text) { return text.c_str(); }

// Null and "" are told apart: the outputs keep which of them they are.
inline bool Same(const OwnedText& a, const OwnedText& b) { return !a.Get() == !b.Get() && a.view() == b.view(); }

namespace first_version {

// TextBetween as it was first written, over the text commands: a copy per marker and per value.
inline OwnedText TextBetween(const char* text, const char* left, const char* right,
                             std::optional<std::int32_t> start = std::nullopt, bool ignoreCase = false) {
    const OwnedText leftMarker = ReplaceSubText(left, "#引号", {.replacement = "\"", .caseSensitive = true});
    const OwnedText rightMarker = ReplaceSubText(right, "#引号", {.replacement = "\"", .caseSensitive = true});
    const std::int32_t found = FindText(text, leftMarker.c_str(), start, ignoreCase);
    if (found == -1) return OwnedText::StaticEmpty();
    const auto valueStart = found + static_cast<std::int32_t>(leftMarker.length());
    const std::int32_t valueEnd = FindText(text, rightMarker.c_str(), valueStart, ignoreCase);
    if (valueEnd == -1) return OwnedText::StaticEmpty();
    return TextMiddle(text, valueStart, valueEnd - valueStart);
}

}  // namespace first_version

}  // namespace quenlark::fuzz
