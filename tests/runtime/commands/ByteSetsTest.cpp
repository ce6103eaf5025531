#include <gtest/gtest.h>

#include <cstring>

#include "runtime/ByteSets.h"
#include "runtime/Texts.h"
#include "runtime/commands/ByteSets.h"
#include "support/FatalRecorder.h"

namespace quenlark {
namespace {

OwnedByteSet Bytes(std::string_view bytes) { return OwnedByteSet::CopyOf(bytes.data(), bytes.size()); }

TEST(ByteSetCommands, ConstructorsReturnNullForNothing) {
    EXPECT_EQ(ByteSetFromPointer(nullptr, 4).Get(), nullptr);
    EXPECT_EQ(ByteSetFromPointer("abc", 0).Get(), nullptr);
    EXPECT_EQ(ByteSetFromPointer("abc", -1).Get(), nullptr);
    EXPECT_EQ(ByteSetFromPointer("abc", 2).view(), "ab");
    EXPECT_EQ(BlankByteSet(0).Get(), nullptr);
    OwnedByteSet blank = BlankByteSet(3);
    EXPECT_EQ(blank.view(), std::string_view("\0\0\0", 3));
    EXPECT_EQ(ByteSetSize(nullptr), 0);
    EXPECT_EQ(ByteSetSize(blank.Get()), 3);
}

TEST(ByteSetCommands, LeftAndMiddleClampToTheBytes) {
    OwnedByteSet four = Bytes("\x01\x02\x03\x04");
    EXPECT_EQ(ByteSetLeft(four.Get(), 10).view(), "\x01\x02\x03\x04");
    EXPECT_EQ(ByteSetLeft(four.Get(), 0).Get(), nullptr);
    EXPECT_EQ(ByteSetLeft(nullptr, 2).Get(), nullptr);
    EXPECT_EQ(ByteSetMiddle(four.Get(), 5, 1).Get(), nullptr);      // one past the end: no bytes
    EXPECT_EQ(ByteSetMiddle(four.Get(), 0, 2).view(), "\x01\x02");  // start <= 0 counts as 1
    EXPECT_EQ(ByteSetMiddle(four.Get(), 3, 10).view(), "\x03\x04");
    EXPECT_EQ(ByteSetMiddle(four.Get(), 6, 1).Get(), nullptr);
    EXPECT_EQ(ByteSetMiddle(four.Get(), 2, -1).Get(), nullptr);
}

TEST(ByteSetCommands, ConcatOfEmptiesIsNullAndCompareIsUnsigned) {
    EXPECT_EQ(ConcatByteSets({nullptr, nullptr}).Get(), nullptr);
    OwnedByteSet a = OwnedByteSet::CopyOf("\x01\x02", 2);
    OwnedByteSet b = OwnedByteSet::CopyOf("\x00\xFF", 2);
    OwnedByteSet joined = ConcatByteSets({a.Get(), nullptr, b.Get()});
    ASSERT_EQ(joined.size(), 4u);
    EXPECT_EQ(joined.view(), std::string_view("\x01\x02\x00\xFF", 4));
    EXPECT_EQ(ReadInt32(joined.Get()), 1);
    EXPECT_EQ(CompareBytes("\x80", "\x7F", 1), 1);
    EXPECT_EQ(CompareBytes("a", "b", 0), 0);
    EXPECT_EQ(CompareBytes("ab", "ac", 2), -1);
}

TEST(ByteSetCommands, ToByteSetTakesTheBytesOfEachBasicType) {
    EXPECT_EQ(ToByteSet(TypedArg::TextArg("ab")).view(), "ab");  // no NUL
    EXPECT_EQ(ToByteSet(TypedArg::TextArg("")).Get(), nullptr);
    EXPECT_EQ(ToByteSet(TypedArg::Byte(0xFE)).view(), "\xFE");
    EXPECT_EQ(ToByteSet(TypedArg::Short(-2)).view(), "\xFE\xFF");
    EXPECT_EQ(ToByteSet(TypedArg::Int(0x04030201)).view(), "\x01\x02\x03\x04");
    EXPECT_EQ(ToByteSet(TypedArg::Bool(true)).view(), std::string_view("\x01\0\0\0", 4));
    EXPECT_EQ(ToByteSet(TypedArg::Int64Value(0x0807060504030201LL)).view(), "\x01\x02\x03\x04\x05\x06\x07\x08");
    const double d = 1.5;
    EXPECT_EQ(ToByteSet(TypedArg::DoubleValue(d)).view(), std::string_view(reinterpret_cast<const char*>(&d), 8));
    const float f = -3.25f;
    EXPECT_EQ(ToByteSet(TypedArg::FloatValue(f)).view(), std::string_view(reinterpret_cast<const char*>(&f), 4));
    EXPECT_EQ(ToByteSet(TypedArg::Raw(TC_OBJECT, 0)).Get(), nullptr);

    OwnedByteSet source = Bytes("xyz");
    OwnedByteSet copy = ToByteSet(TypedArg::ByteSetArg(source.Get()));
    EXPECT_EQ(copy.view(), "xyz");
    EXPECT_NE(copy.Get(), source.Get());

    // An array of shorts {1 dim, 2 elements}: all element bytes.
    const unsigned char shortArray[] = {1, 0, 0, 0, 2, 0, 0, 0, 0x34, 0x12, 0x78, 0x56};
    EXPECT_EQ(ToByteSet(TypedArg::ByRef(TC_SHORT, const_cast<unsigned char*>(shortArray))).view(), "\x34\x12\x78\x56");
    EXPECT_EQ(ToByteSet(TypedArg::ByRef(TC_TEXT, const_cast<unsigned char*>(shortArray))).Get(), nullptr);
}

TEST(ReadByteSetData, TextStopsAtTheFirstZeroByteOrTheEnd) {
    OwnedByteSet withZero = Bytes(std::string_view("\x61\x62\x00\x63", 4));
    TypedResult text = ReadByteSetData(withZero.Get(), 10, TypedArg::Omitted());
    EXPECT_EQ(text.type, TC_TEXT);
    EXPECT_STREQ(text.text.Get(), "ab");
    OwnedByteSet plain = Bytes("\x61\x62");
    EXPECT_STREQ(ReadByteSetData(plain.Get(), 10, TypedArg::Omitted()).text.Get(), "ab");
    OwnedByteSet leadingZero = Bytes(std::string_view("\x00\x61", 2));
    EXPECT_EQ(ReadByteSetData(leadingZero.Get(), 10, TypedArg::Omitted()).text.Get(), nullptr);
    EXPECT_EQ(ReadByteSetData(nullptr, 10, TypedArg::Omitted()).text.Get(), nullptr);
}

TEST(ReadByteSetData, ShortReadsFillTheMissingHighBytesWithZero) {
    OwnedByteSet three = Bytes("\x01\x02\x03");
    TypedResult value = ReadByteSetData(three.Get(), 3, TypedArg::Omitted());
    EXPECT_EQ(value.type, TC_INT);
    EXPECT_EQ(value.Low(), 0x030201);
    EXPECT_EQ(ReadByteSetData(three.Get(), 2, TypedArg::Int(2)).Low(), 0x0302);
    EXPECT_EQ(ReadByteSetData(three.Get(), 1, TypedArg::Int(4)).bits, 0u);     // past the end
    EXPECT_EQ(ReadByteSetData(three.Get(), 7, TypedArg::Omitted()).bits, 1u);  // bool reads 1 or 0
    EXPECT_EQ(ReadByteSetData(three.Get(), 9, TypedArg::Omitted()).type, TC_INT_ALIAS);
}

TEST(ReadByteSetData, APositionVariableWalksThroughTheValues) {
    // int 7, then "hi\0", then a short 5
    OwnedByteSet record = Bytes(std::string_view("\x07\x00\x00\x00hi\x00\x05\x00", 9));
    std::int32_t position = 1;
    const TypedArg cursor = TypedArg::ByRef(TC_INT, &position);
    EXPECT_EQ(ReadByteSetData(record.Get(), 3, cursor).Low(), 7);
    EXPECT_EQ(position, 5);
    EXPECT_STREQ(ReadByteSetData(record.Get(), 10, cursor).text.Get(), "hi");
    EXPECT_EQ(position, 8);
    EXPECT_EQ(ReadByteSetData(record.Get(), 2, cursor).Low(), 5);
    EXPECT_EQ(position, -1);  // beyond the end now
    EXPECT_EQ(ReadByteSetData(record.Get(), 2, cursor).bits, 0u);
    EXPECT_EQ(position, -1);
    position = 0;  // offset -1: nothing read
    EXPECT_EQ(ReadByteSetData(record.Get(), 1, cursor).bits, 0u);
    EXPECT_EQ(position, -1);
}

TEST(ReadByteSetDataDeathTest, KindOutsideTheTableIsRuntimeError100) {
    const auto record = testing_support::ExpectFatalExit(0, [] {
        OwnedByteSet one = Bytes("\x01");
        (void)ReadByteSetData(one.Get(), 11, TypedArg::Omitted());
    });
    ASSERT_EQ(record.boxes.size(), 1u);
    // The first and the third line; the second, which holds table texts, is empty.
    EXPECT_EQ(record.boxes[0].text.rfind(
                  "program internal error number is 100. \r\n\r\n\xB4\xED\xCE\xF3\xCE\xBB\xD6\xC3:", 0),
              0u);
    EXPECT_EQ(record.exitCode, 0);
}

}  // namespace
}  // namespace quenlark
