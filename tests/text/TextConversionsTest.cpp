// The code page module's contract (every result code, on the size-then-fill core and the string
// outputs) and the conversions made over it: texts, UTF-16 byte-sets and recoded texts.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <string_view>

#include "platform/CodePages.h"
#include "text/TextConversions.h"

namespace quenlark {
namespace {

std::string S(const OwnedText& t) { return t.c_str(); }

TEST(CodePageModule, EachResultCode) {
    const std::string_view utf8 = "a\xE4\xB8\xAD";  // a中: 4 bytes, 2 units
    std::u16string wide = u"left over";
    EXPECT_EQ(ToUtf16(kCodePageUtf8, utf8, wide), ConversionResult::kOk);
    EXPECT_EQ(wide, u"a\u4E2D");
    EXPECT_EQ(ToUtf16(kCodePageUtf8, "", wide), ConversionResult::kOk);
    EXPECT_TRUE(wide.empty());

    // Longer than the limits allow, on either side (by default what an int counts).
    wide = u"left over";
    EXPECT_EQ(ToUtf16(kCodePageUtf8, utf8, wide, {.maxInput = 3}), ConversionResult::kTooLong);
    EXPECT_TRUE(wide.empty());
    EXPECT_EQ(ToUtf16(kCodePageUtf8, utf8, wide, {.maxOutput = 1}), ConversionResult::kTooLong);
    EXPECT_EQ(ToUtf16(kCodePageUtf8, utf8, wide, {.maxInput = 4, .maxOutput = 2}), ConversionResult::kOk);

    EXPECT_EQ(ToUtf16(12345, utf8, wide), ConversionResult::kUnknownCodePage);
    OwnedText text = OwnedText::CopyOf("left over");
    EXPECT_EQ(TextFromUtf16(12345, u"a", text), ConversionResult::kUnknownCodePage);
    EXPECT_EQ(text.Get(), nullptr);

    // Storage that cannot be had: nothing is written, and the caller hears of it.
    bool asked = false;
    const auto noRoom = [&asked](std::size_t count) -> char16_t* {
        asked = count == 2;
        return nullptr;
    };
    EXPECT_EQ(ToUtf16With(kCodePageUtf8, utf8, noRoom), ConversionResult::kOutOfMemory);
    EXPECT_TRUE(asked);
    EXPECT_EQ(FromUtf16With(kCodePage936, u"\u4E2D", [](std::size_t) -> char* { return nullptr; }),
              ConversionResult::kOutOfMemory);
}

TEST(CodePageModule, TextsEndAtTheFirstZeroUnitAndFailuresToEncodeBecomeQuestionMarks) {
    OwnedText text;
    EXPECT_EQ(TextFromUtf16(kCodePage936, std::u16string_view(u"\u4E2Da\0b", 4), text), ConversionResult::kOk);
    EXPECT_EQ(S(text),
              "\xD6\xD0"
              "a");
    EXPECT_EQ(TextFromUtf16(kCodePage936, std::u16string_view(u"\0b", 2), text), ConversionResult::kOk);
    EXPECT_EQ(text.Get(), nullptr);
    // 한 (U+D55C) has no code page 936 form; a server's text must not end the host either.
    EXPECT_EQ(TextFromUtf16(kCodePage936, u"x\uD55C", text, WhenHeapFails::kReport), ConversionResult::kOk);
    EXPECT_EQ(S(text), "x?");
}

// The conversions must not depend on the system's ANSI code page: here it is 1252 (natively by
// construction, under wine by its default locale), where the Chinese characters do not exist.
TEST(CodePages, Cp936ToUtf8AndBackKeepChineseText) {
    const char* gbk = "\xD6\xD0\xCE\xC4";           // 中文 in code page 936
    const char* utf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文 in UTF-8
    EXPECT_EQ(S(Cp936ToUtf8(gbk)), utf8);
    EXPECT_EQ(S(Utf8ToCp936(utf8)), gbk);
    std::string longGbk;
    std::string longUtf8;
    for (int i = 0; i < 500; ++i) {
        longGbk += gbk;
        longUtf8 += utf8;
    }
    EXPECT_EQ(S(Cp936ToUtf8(longGbk.c_str())), longUtf8);
    EXPECT_EQ(S(Utf8ToCp936(longUtf8.c_str())), longGbk);
}

TEST(CodePages, AsciiEmptyAndUnmappableCharacters) {
    EXPECT_EQ(S(Utf8ToCp936("plain ascii")), "plain ascii");
    EXPECT_EQ(S(Utf8ToCp936("")), "");
    EXPECT_EQ(S(Cp936ToUtf8(nullptr)), "");
    EXPECT_EQ(S(Utf8ToCp936("\xED\x95\x9C")), "?");  // 한 (U+D55C) has no code page 936 form
}

// The one-pass reading of UTF-8 gives byte for byte what decoding the whole text and encoding it
// gives (Utf8ToCp936), wherever its parts meet: long and short ASCII runs, Chinese, a character
// outside the BMP, and sequences cut short or stray, at the start, middle and end.
TEST(CodePages, Utf8ReadInOnePassGivesWhatTheTwoStepsGive) {
    const auto onePass = [](std::string_view utf8) {
        OwnedText text;
        const ConversionResult result = Cp936TextOfUtf8(utf8, text, WhenHeapFails::kReport);
        return result == ConversionResult::kOk ? std::string(text.view()) : std::string("<failed>");
    };
    const auto twoSteps = [](const std::string& utf8) { return S(Utf8ToCp936(utf8.c_str())); };
    EXPECT_EQ(onePass(""), "");
    EXPECT_EQ(onePass("\xE4\xB8\xAD\xE6\x96\x87"), "\xD6\xD0\xCE\xC4");  // 中文
    EXPECT_EQ(onePass(std::string_view("ab\0\xE4\xB8\xAD", 6)), "ab");   // a text ends at its NUL

    const std::string longRun(70, 'm');
    const std::string pieces[] = {"a",
                                  "<div class=\"f\">",
                                  longRun,
                                  "\r\n",
                                  "\xE4\xB8\xAD",
                                  "\xE4\xB8",
                                  "\x80",
                                  "\xBF\xBF",
                                  "\xC3",
                                  "\xC3\xA9",
                                  "\xF0\x9F",
                                  "\xF0\x9F\x98\x80",
                                  "\xE2\x82\xAC",
                                  "\xED\x95\x9C"};
    std::uint32_t seed = 936;
    const auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (std::uint32_t n = next(12); n > 0; --n) text += pieces[next(std::size(pieces))];
        ASSERT_EQ(onePass(text), twoSteps(text)) << "round " << round;
    }
    // A part of Chinese too long for the scratch space to be kept, between ASCII.
    std::string page = longRun;
    for (int i = 0; i < 40000; ++i) page += "\xE4\xB8\xAD";
    page += longRun + "\xC3";
    EXPECT_EQ(onePass(page), twoSteps(page));
}

// Over 1 GiB of UTF-8 is over 2 GiB of UTF-16: sizes counted in 32 bits made the text empty.
// Natively only, and only where the address space holds the 4 GiB that this takes.
TEST(CodePages, TextsOverOneGibibyteConvert) {
#if defined(_WIN32)
    GTEST_SKIP() << "run natively";
#else
    if (sizeof(void*) < 8) GTEST_SKIP() << "needs a 64-bit address space";
    std::string utf8(std::size_t{1} << 30, 'a');
    utf8 += "\xE4\xB8\xAD";  // 中
    const OwnedText text = Utf8ToCp936(utf8.c_str());
    utf8 = std::string();
    ASSERT_EQ(text.length(), (std::size_t{1} << 30) + 2);
    EXPECT_EQ(text.view().substr(text.length() - 3), "a\xD6\xD0");
#endif
}

TEST(CodePages, Utf16UnitsEndWithAZeroUnit) {
    const OwnedByteSet units = MultiByteToUtf16(
        "\xD6\xD0"
        "a",
        936);
    ASSERT_EQ(units.size(), 6u);
    EXPECT_EQ(units.view(), std::string_view("\x2D\x4E\x61\x00\x00\x00", 6));  // U+4E2D 'a' NUL
    const OwnedByteSet empty = MultiByteToUtf16("", 65001);
    EXPECT_EQ(empty.view(), std::string_view("\0\0", 2));
}

TEST(CodePages, Utf16ToMultiByteStopsAtTheFirstZeroUnitAndAtTheEndOfTheBlock) {
    const OwnedByteSet stopped = OwnedByteSet::CopyOf("\x41\x00\x00\x00\x42\x00", 6);
    EXPECT_EQ(S(Utf16ToMultiByte(stopped.Get(), 65001)), "A");
    const OwnedByteSet unterminated = OwnedByteSet::CopyOf("\x41\x00\x42\x00", 4);
    EXPECT_EQ(S(Utf16ToMultiByte(unterminated.Get(), 65001)), "AB");
    EXPECT_EQ(Utf16ToMultiByte(nullptr, 936).Get(), nullptr);
}

}  // namespace
}  // namespace quenlark
