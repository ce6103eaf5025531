// The escape decoder through the system's script control.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <string>

#include "script/UnicodeEscapes.h"

namespace quenlark {
namespace {

std::string Decode(const char* input) {
    OwnedText text = OwnedText::CopyOf(input);
    OwnedText decoded = DecodeUnicodeEscapes(text);
    EXPECT_STREQ(text.c_str(), input);  // the lent variable holds the same text afterwards
    return std::string(decoded.view());
}

TEST(DecodeUnicodeEscapes, DecodesBackslashEscapesToCodePage936) {
    EXPECT_EQ(Decode("\\u4e2d\\u6587"), "\xD6\xD0\xCE\xC4");  // 中文
    EXPECT_EQ(Decode("x\\u4E2Dy\\41z"), "x\xD6\xD0yAz");      // upper-case digits, two-digit form
    EXPECT_EQ(Decode("plain \xD6\xD0\xCE\xC4 text"), "plain \xD6\xD0\xCE\xC4 text");
    // A character that code page 936 lacks does not survive the way back.
    EXPECT_EQ(Decode("\\u0e01"), "?");
}

TEST(DecodeUnicodeEscapes, DecodesPercentEscapesAlreadyInTheText) {
    EXPECT_EQ(Decode("100%41%u4e2d"), "100A\xD6\xD0");
    EXPECT_EQ(Decode("50% off"), "50% off");  // starts no escape: stays
}

TEST(DecodeUnicodeEscapes, ALoneBackslashBecomesAPercentSign) {
    EXPECT_EQ(Decode("a\\qb"), "a%qb");
    EXPECT_EQ(Decode("end\\"), "end%");
}

TEST(DecodeUnicodeEscapes, AnEmptyTextGivesTheEmptyText) {
    OwnedText empty;
    EXPECT_EQ(DecodeUnicodeEscapes(empty).Get(), nullptr);
}

TEST(DecodeUnicodeEscapes, LeavesTheThreadsComStateAsItFoundIt) {
    (void)Decode("\\u4e2d");
    // Had the decoder left COM initialised, this would be S_FALSE.
    const HRESULT first = ::CoInitialize(nullptr);
    EXPECT_EQ(first, S_OK);
    if (SUCCEEDED(first)) ::CoUninitialize();
}

}  // namespace
}  // namespace quenlark
