#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "runtime/Arrays.h"
#include "runtime/Texts.h"
#include "runtime/Truncation.h"
#include "support/FatalRecorder.h"

namespace quenlark {
namespace {

using testing_support::ExpectFatalExit;

TEST(ConcatTexts, JoinsPartsAndAlwaysAllocates) {
    OwnedText joined = ConcatTexts({"ab", nullptr, "", "\xD6\xD0" /* 中 */, "c"});
    EXPECT_STREQ(joined.Get(),
                 "ab\xD6\xD0"
                 "c");
    OwnedText empty = ConcatTexts({"", nullptr});
    ASSERT_NE(empty.Get(), nullptr);  // an allocated "", not null
    EXPECT_STREQ(empty.Get(), "");
}

TEST(TruncateToInt64, RoundsTowardZeroAndMarksValuesWithoutIntegerForm) {
    EXPECT_EQ(TruncateToInt64(-2.9), -2);
    EXPECT_EQ(TruncateToInt64(2.9), 2);
    EXPECT_EQ(TruncateToInt64(3e9), 3000000000LL);
    EXPECT_EQ(static_cast<std::int32_t>(static_cast<std::uint32_t>(TruncateToInt64(3e9))), -1294967296);
    EXPECT_EQ(TruncateToInt64(-9223372036854775808.0), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(TruncateToInt64(1e300), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(TruncateToInt64(std::nan("")), std::numeric_limits<std::int64_t>::min());
}

// A constant array in the image, as the program's code uses to initialise array variables.
const std::int32_t kLiteralIntArray[4] = {1, 2, 7, 9};

TEST(Arrays, AppendingToALiteralCopiesItFirstAndLeavesTheLiteralAlone) {
    void* array = const_cast<std::int32_t*>(kLiteralIntArray);
    const std::int32_t value = 11;
    ArrayAppend(&array, 4, &value);
    ASSERT_NE(array, static_cast<const void*>(kLiteralIntArray));
    EXPECT_EQ(ArrayElementCount(array), 3u);
    const auto* elements = static_cast<const std::int32_t*>(ArrayElements(array).first);
    EXPECT_EQ(elements[0], 7);
    EXPECT_EQ(elements[1], 9);
    EXPECT_EQ(elements[2], 11);
    EXPECT_EQ(kLiteralIntArray[1], 2);
    EXPECT_EQ(kLiteralIntArray[3], 9);
    RtFree(array);
}

TEST(Arrays, AppendRewritesATwoDimensionalArrayToOneDimension) {
    // {2 dims: 2 x 2} then the four elements 1..4
    auto* block = static_cast<std::int32_t*>(RtAlloc(4 * 7));
    const std::int32_t init[7] = {2, 2, 2, 1, 2, 3, 4};
    std::memcpy(block, init, sizeof init);
    void* array = block;
    const std::int32_t five = 5;
    ArrayAppend(&array, 4, &five);
    EXPECT_EQ(ArrayDimensions(array), 1);
    ASSERT_EQ(ArrayElementCount(array), 5u);
    const auto* elements = static_cast<const std::int32_t*>(ArrayElements(array).first);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(elements[i], i + 1);
    RtFree(array);
}

TEST(Arrays, TextArrayOwnsItsElements) {
    OwnedTextArray texts = OwnedTextArray::NewEmpty();
    EXPECT_EQ(texts.size(), 0u);
    texts.Append(OwnedText::CopyOf("one"));
    texts.Append(OwnedText());  // an empty element is null
    texts.Append(OwnedText::CopyOf("three"));
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_STREQ(texts.At(1), "one");
    EXPECT_EQ(texts.At(2), nullptr);
    OwnedTextArray copy = texts.DeepCopy();
    texts.Set(1, OwnedText::CopyOf("uno"));
    texts.RemoveAt(2);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_STREQ(texts.At(1), "uno");
    EXPECT_STREQ(texts.At(2), "three");
    ASSERT_EQ(copy.size(), 3u);
    EXPECT_STREQ(copy.At(1), "one");
    EXPECT_NE(copy.At(3), texts.At(2));  // deep: its own blocks
}

TEST(Arrays, FreeArrayDeepIgnoresAnImageLiteral) {
    FreeArrayDeep(const_cast<std::int32_t*>(kEmptyArrayTemplate));
    FreeArrayDeep(nullptr);
    EXPECT_EQ(kEmptyArrayTemplate[0], 1);
}

TEST(ArraysDeathTest, IndexBelowOneIsRuntimeError4) {
    const auto record = ExpectFatalExit(0, [] {
        OwnedTextArray texts = OwnedTextArray::NewEmpty();
        texts.Append(OwnedText::CopyOf("x"));
        CheckArrayIndex(texts.Get(), 0, 0x04000007, 3);
    });
    ASSERT_EQ(record.boxes.size(), 1u);
    // 数组成员引用下标必须大于等于1 on the second line; place and position in decimal.
    EXPECT_EQ(record.boxes[0].text,
              "program internal error number is 4. \r\n"
              "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB1\xD8\xD0\xEB\xB4\xF3\xD3\xDA\xB5\xC8"
              "\xD3\xDA\x31"
              "\r\n\xB4\xED\xCE\xF3\xCE\xBB\xD6\xC3:67108871,3(\xBD\xF6"
              "5.8\xD2\xD4\xC9\xCF\xB0\xE6\xB1\xBE\xD3\xD0\xD0\xA7)");
    EXPECT_EQ(record.boxes[0].caption, "error");
    EXPECT_TRUE(record.shutdownRan);
    EXPECT_EQ(record.exitCode, 0);
}

TEST(ArraysDeathTest, IndexAboveTheCountIsRuntimeError1) {
    const auto record = ExpectFatalExit(0, [] {
        OwnedTextArray texts = OwnedTextArray::NewEmpty();
        texts.Append(OwnedText::CopyOf("x"));
        CheckArrayIndex(texts.Get(), 1, 1, 1);  // in range: nothing happens
        CheckArrayIndex(texts.Get(), 2, 1, 2);
    });
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_NE(record.boxes[0].text.find(
                  "number is 1. \r\n\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB3\xAC\xB3\xF6"),
              std::string::npos);
    EXPECT_NE(record.boxes[0].text.find(":1,2("), std::string::npos);
}

}  // namespace
}  // namespace quenlark
