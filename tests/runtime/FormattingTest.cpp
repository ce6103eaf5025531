#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "runtime/Formatting.h"
#include "runtime/commands/Formatting.h"
#include "runtime/commands/MessageBox.h"
#include "support/RecordedBox.h"

namespace quenlark {
namespace {

// GBK bytes of the words in the expected texts.
#define NIAN "\xC4\xEA"  // 年
#define YUE "\xD4\xC2"   // 月
#define RI "\xC8\xD5"    // 日
#define SHI "\xCA\xB1"   // 时
#define FEN "\xB7\xD6"   // 分
#define MIAO "\xC3\xEB"  // 秒

std::string Show(const TypedArg& value) {
    const OwnedText text = ToText(value);
    return text ? std::string(text.Get()) : "<null>";
}

std::string Date(double value, bool dateOnly = false) {
    char buffer[64];
    DateTimeToText(buffer, sizeof buffer, value, dateOnly);
    return buffer;
}

TEST(ToText, NumbersInFixedNotationWithoutTrailingZeros) {
    EXPECT_EQ(Show(TypedArg::DoubleValue(0.1 + 0.2)), "0.3");
    EXPECT_EQ(Show(TypedArg::DoubleValue(1e20)), "100000000000000000000");
    EXPECT_EQ(Show(TypedArg::DoubleValue(-0.0000001)), "-0");
    EXPECT_EQ(Show(TypedArg::DoubleValue(100.25)), "100.25");
    EXPECT_EQ(Show(TypedArg::FloatValue(1.5f)), "1.5");
    EXPECT_EQ(Show(TypedArg::Raw(TC_BYTE, 0x1C8)), "200");    // the low byte, unsigned
    EXPECT_EQ(Show(TypedArg::Raw(TC_SHORT, 0x1FFFF)), "-1");  // the low half, signed
    EXPECT_EQ(Show(TypedArg::Int64Value(-9000000000LL)), "-9000000000");
    EXPECT_EQ(Show(TypedArg::BoolRaw(2)), "\xD5\xE6");   // 真
    EXPECT_EQ(Show(TypedArg::Bool(false)), "\xBC\xD9");  // 假
}

TEST(ToText, EveryDoubleFitsTheWorkArea) {
    const std::string huge = Show(TypedArg::DoubleValue(1e300));
    EXPECT_EQ(huge.size(), 301u);
    EXPECT_EQ(huge.substr(0, 24), "100000000000000005250476");
    EXPECT_EQ(Show(TypedArg::DoubleValue(-DBL_MAX)).size(), 310u);
    EXPECT_NE(Show(TypedArg::DoubleValue(INFINITY)).find("inf"), std::string::npos);
    EXPECT_NE(Show(TypedArg::DoubleValue(NAN)).find("nan"), std::string::npos);
}

TEST(ToText, BytesUpToTheFirstZeroAndTypesWithoutText) {
    const OwnedByteSet bytes = OwnedByteSet::CopyOf("AB\0C", 4);
    EXPECT_EQ(Show(TypedArg::ByteSetArg(bytes.Get())), "AB");
    const OwnedByteSet leadingZero = OwnedByteSet::CopyOf("\0A", 2);
    EXPECT_EQ(Show(TypedArg::ByteSetArg(leadingZero.Get())), "<null>");
    std::int32_t ints[4] = {1, 2, 0x00434241, 0x44};  // {1 dimension, 2 elements}, 41 42 43 00 44 ...
    EXPECT_EQ(Show(TypedArg::ByRef(TC_INT, ints)), "ABC");
    EXPECT_EQ(Show(TypedArg::ByRef(TC_DOUBLE, ints)), "<null>");
    EXPECT_EQ(Show(TypedArg::TextArg("")), "<null>");
    EXPECT_EQ(Show(TypedArg::Raw(TC_OBJECT, 0)), "<null>");
}

TEST(TrimTrailingZeros, CutsALonePointAndNeedsAPoint) {
    char lonePoint[] = "7.", noPoint[] = "100";
    TrimTrailingZeros(lonePoint);
    TrimTrailingZeros(noPoint);
    EXPECT_STREQ(lonePoint, "7");
    EXPECT_STREQ(noPoint, "100");
}

TEST(DateTimeToText, DatesAndTheSmallestNonZeroTimeUnit) {
    EXPECT_EQ(Date(45000.5), "2023" NIAN "3" YUE "15" RI "12" SHI);
    EXPECT_EQ(Date(45000.5, true), "2023" NIAN "3" YUE "15" RI);
    EXPECT_EQ(Date(45000 + 3723.0 / 86400), "2023" NIAN "3" YUE "15" RI "1" SHI "2" FEN "3" MIAO);
    EXPECT_EQ(Date(45000 + 0.5 + 60.0 / 86400), "2023" NIAN "3" YUE "15" RI "12" SHI "1" FEN);
    EXPECT_EQ(Date(45000.99999999), "2023" NIAN "3" YUE "15" RI "24" SHI);  // rounds to 86400 seconds
    EXPECT_EQ(Date(0), "1899" NIAN "12" YUE "30" RI);
    EXPECT_EQ(Date(61), "1900" NIAN "3" YUE "1" RI);  // 1900 is no leap year
    EXPECT_EQ(Date(36585), "2000" NIAN "2" YUE "29" RI);
    EXPECT_EQ(Date(-1.25), "1899" NIAN "12" YUE "29" RI "6" SHI);
    EXPECT_EQ(Date(NAN), "");
    EXPECT_EQ(Date(1e300), "");
    EXPECT_EQ(Show(TypedArg::DateTime(45000.5)), "2023" NIAN "3" YUE "15" RI "12" SHI);
}

TEST(ToInteger, TruncatesKeepsLowBitsAndReadsFullWidthDigits) {
    EXPECT_EQ(ToInteger(TypedArg::DoubleValue(-2.9)), -2);
    EXPECT_EQ(ToInteger(TypedArg::DoubleValue(3e9)), -1294967296);
    EXPECT_EQ(ToInteger(TypedArg::Int64Value(0x100000005LL)), 5);
    EXPECT_EQ(ToInteger(TypedArg::Raw(TC_SHORT, 0x8000)), -32768);
    // Full-width space, then －１２３ and letters
    EXPECT_EQ(ToInteger(TypedArg::TextArg("\xA1\xA1\xA3\xAD\xA3\xB1\xA3\xB2\xA3\xB3"
                                          "abc")),
              -123);
    EXPECT_EQ(ToInteger(TypedArg::TextArg("99999999999")), INT_MAX);
    EXPECT_EQ(ToInteger(TypedArg::TextArg(nullptr)), 0);
    EXPECT_EQ(ToInteger(TypedArg::DateTime(45000.5)), 0);
}

TEST(ToHalfWidth, MapsFullWidthAsciiFormsByWholeCharacters) {
    // １９ＡａＺ／＼ then 中
    EXPECT_STREQ(ToHalfWidth("\xA3\xB1\xA3\xB9\xA3\xC1\xA3\xE1\xA3\xDA\xA3\xAF\xA3\xDC\xD6\xD0").Get(),
                 "19AaZ/\\\xD6\xD0");
    // ￥ (A3 A4) has no ASCII form; ＄ lives at A1 E7; “ and ” are quotes.
    EXPECT_STREQ(ToHalfWidth("\xA3\xA4\xA1\xE7\xA1\xB0\xA1\xB1").Get(), "\xA3\xA4$\"\"");
    // B0 A3 is one character, so the A3 AF after it is the solidus; a lone lead stays.
    EXPECT_STREQ(ToHalfWidth("\xB0\xA3\xA3\xAF\xA3").Get(), "\xB0\xA3/\xA3");
    // € (80) and FF are one byte each: the full-width characters after them are mapped.
    EXPECT_STREQ(ToHalfWidth("\x80\xA3\xAF\xFF\xA3\xC1\x80").Get(),
                 "\x80/\xFF"
                 "A\x80");
}

TEST(HexText, UpperCaseDigitsOfTheUnsignedValue) {
    EXPECT_STREQ(HexText(255).Get(), "FF");
    EXPECT_STREQ(HexText(-1).Get(), "FFFFFFFF");
}

using testing_support::BoxRecorder;
using testing_support::RecordedBox;

TEST(ShowMessageBox, DefaultsToAnOkBoxCaptionedInformation) {
    BoxRecorder recorder;  // answers OK
    EXPECT_EQ(ShowMessageBox(TypedArg::TextArg("hello")), 0);
    // A caption that is no text and an owner that is no int are left out too.
    EXPECT_EQ(ShowMessageBox(TypedArg::DateTime(45000), {}, TypedArg::Int(5), TypedArg::Int64Value(0x1234)), 0);
    ASSERT_EQ(recorder.boxes().size(), 2u);
    EXPECT_EQ(recorder.boxes()[0].text, "hello");
    EXPECT_EQ(recorder.boxes()[1].text, "2023" NIAN "3" YUE "15" RI);
    for (const RecordedBox& box : recorder.boxes()) {
        EXPECT_EQ(box.caption, "\xD0\xC5\xCF\xA2");  // 信息
        EXPECT_EQ(box.flags, 0u);
        EXPECT_EQ(box.owner, nullptr);
    }
}

TEST(ShowMessageBox, PassesFlagsCaptionAndAnIntOwnerAndReturnsTheButtonMinusOne) {
    BoxRecorder recorder(7);  // answers No
    const unsigned yesNoQuestionSecond = 0x4 | 0x20 | 0x100;
    EXPECT_EQ(ShowMessageBox(TypedArg::DoubleValue(-DBL_MAX), TypedArg::Int(yesNoQuestionSecond),
                             TypedArg::TextArg("t"), TypedArg::Int(0x1234)),
              6);
    const OwnedByteSet bytes = OwnedByteSet::CopyOf("AB", 2);
    ShowMessageBox(TypedArg::ByteSetArg(bytes.Get()));
    ASSERT_EQ(recorder.boxes().size(), 2u);
    EXPECT_EQ(recorder.boxes()[0].text.size(), 310u);  // every digit of the double
    EXPECT_EQ(recorder.boxes()[0].flags, yesNoQuestionSecond);
    EXPECT_EQ(recorder.boxes()[0].caption, "t");
    EXPECT_EQ(recorder.boxes()[0].owner, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(recorder.boxes()[1].text, "");  // byte-sets have no message text
}

TEST(ShowMessageBox, AnswersMinusOneWhenNoBoxCouldBeShown) {
    BoxRecorder failing(0);
    EXPECT_EQ(ShowMessageBox(TypedArg::TextArg("x")), -1);
}

}  // namespace
}  // namespace quenlark
