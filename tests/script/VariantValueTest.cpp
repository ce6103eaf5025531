// Variant values: assignment of runtime values and arrays, element reads, text conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "runtime/Arrays.h"
#include "runtime/Memory.h"
#include "runtime/Owned.h"
#include "runtime/Texts.h"
#include "script/VariantValue.h"
#include "script/support/ComTest.h"
#include "script/support/FakeAutomation.h"

namespace quenlark {
namespace {

using testing_support::ComTest;
using testing_support::DescribeVariant;
using testing_support::FakeAutomation;

class VariantValueTest : public ComTest {
protected:
    OwnedVariantValue v_ = OwnedVariantValue::New();

    std::string Text(std::optional<std::int32_t> index = std::nullopt) {
        OwnedText text = VariantToText(v_.Get(), index);
        return std::string(text.view());
    }
};

// An RtArray {1, n, elements} of 4-byte integers, freed at the end of the test.
class IntArray {
public:
    explicit IntArray(std::vector<std::int32_t> values) {
        block_ = static_cast<std::int32_t*>(RtAlloc(8 + 4 * values.size()));
        block_[0] = 1;
        block_[1] = static_cast<std::int32_t>(values.size());
        std::memcpy(block_ + 2, values.data(), 4 * values.size());
    }
    IntArray(const IntArray&) = delete;
    IntArray& operator=(const IntArray&) = delete;
    ~IntArray() { RtFree(block_); }
    TypedArg As(std::uint32_t elementType) const { return TypedArg::ByRef(elementType, block_); }

private:
    std::int32_t* block_;
};

TEST_F(VariantValueTest, ANewVariantIsZeroAndValuesReadAsTheirTexts) {
    EXPECT_EQ(v_->vt, VT_I4);
    EXPECT_EQ(Text(), "0");
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::Bool(true)));
    EXPECT_EQ(Text(), "\xD5\xE6");  // 真
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::BoolRaw(0)));
    EXPECT_EQ(Text(), "\xBC\xD9");  // 假
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::TextArg("\xD6\xD0\xCE\xC4" /* 中文 */)));
    EXPECT_EQ(v_->vt, VT_BSTR);
    EXPECT_STREQ(v_->bstrVal, L"\x4e2d\x6587");
    EXPECT_EQ(Text(), "\xD6\xD0\xCE\xC4");
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::DoubleValue(1.5)));
    EXPECT_EQ(Text(), "1.5");
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::Omitted()));
    EXPECT_EQ(v_->vt, VT_EMPTY);
    EXPECT_EQ(Text(), "");
    v_->vt = VT_NULL;
    EXPECT_EQ(VariantToText(v_.Get()).Get(), nullptr);
}

TEST_F(VariantValueTest, ValuesWithoutAVariantFormAndEmptyByteSetsLeaveTheVariantAlone) {
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::TextArg("kept")));
    EXPECT_FALSE(AssignVariant(v_.Get(), TypedArg::ByteSetArg(nullptr)));
    OwnedByteSet none = OwnedByteSet::Adopt(NewEmptyArray());
    EXPECT_FALSE(AssignVariant(v_.Get(), TypedArg::ByteSetArg(none.Get())));
    EXPECT_FALSE(AssignVariant(v_.Get(), TypedArg::Raw(0x12345, 1)));
    EXPECT_EQ(Text(), "kept");
}

TEST_F(VariantValueTest, ByteSetsAndArraysBecomeSafeArraysFromIndexZero) {
    OwnedByteSet bytes = OwnedByteSet::CopyOf("\x07\x08\xFF", 3);
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::ByteSetArg(bytes.Get())));
    EXPECT_EQ(DescribeVariant(*v_.Get()), "array ui1:[7,8,255]");
    EXPECT_EQ(v_->parray->rgsabound[0].lLbound, 0);
    // A byte-set variable passed by reference is read through.
    void* variable = bytes.Get();
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::ByRef(TC_BYTESET, &variable)));
    EXPECT_EQ(DescribeVariant(*v_.Get()), "array ui1:[7,8,255]");

    IntArray numbers({10, -20, 30});
    ASSERT_TRUE(AssignVariant(v_.Get(), numbers.As(TC_INT)));
    EXPECT_EQ(DescribeVariant(*v_.Get()), "array i4:[10,-20,30]");
    ASSERT_TRUE(AssignVariant(v_.Get(), numbers.As(TC_BOOL)));
    EXPECT_EQ(DescribeVariant(*v_.Get()), "array bool:[-1,-1,-1]");

    OwnedTextArray texts = OwnedTextArray::NewEmpty();
    texts.Append(OwnedText::CopyOf("a"));
    texts.Append(OwnedText());
    texts.Append(OwnedText::CopyOf("\xD6\xD0" /* 中 */));
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::ByRef(TC_TEXT, texts.Get())));
    EXPECT_EQ(DescribeVariant(*v_.Get()), "array bstr:[a,null,\\u4e2d]");

    IntArray unsupported({1});
    EXPECT_FALSE(AssignVariant(v_.Get(), unsupported.As(TC_OBJECT)));
    EXPECT_EQ(DescribeVariant(*v_.Get()), "array bstr:[a,null,\\u4e2d]");
}

TEST_F(VariantValueTest, ArrayElementsAreNamedFromOneAndOutsideIndexesFail) {
    IntArray numbers({10, -20, 30});
    ASSERT_TRUE(AssignVariant(v_.Get(), numbers.As(TC_INT)));
    EXPECT_EQ(Text(2), "-20");
    EXPECT_EQ(Text(0), "10");  // below 1: the first
    EXPECT_EQ(Text(), "10");
    EXPECT_EQ(Text(3), "30");
    EXPECT_EQ(VariantToText(v_.Get(), 4).Get(), nullptr);

    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::TextArg("7"), 2));  // changed to the element type
    EXPECT_EQ(DescribeVariant(*v_.Get()), "array i4:[10,7,30]");
    EXPECT_FALSE(AssignVariant(v_.Get(), TypedArg::TextArg("seven"), 2));
    EXPECT_FALSE(AssignVariant(v_.Get(), TypedArg::Int(1), 4));
    EXPECT_EQ(DescribeVariant(*v_.Get()), "array i4:[10,7,30]");

    OwnedTextArray texts = OwnedTextArray::NewEmpty();
    texts.Append(OwnedText::CopyOf("old"));
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::ByRef(TC_TEXT, texts.Get())));
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::TextArg("new"), 1));
    EXPECT_EQ(Text(1), "new");
}

TEST_F(VariantValueTest, VariantElementsAreReplacedAndReadThroughReferences) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, 1, 2);  // any lower bound: positions count
    ClearVariant(v_.Get());
    v_->vt = VT_ARRAY | VT_VARIANT;
    v_->parray = array;
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::TextArg("first"), 1));
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::Bool(true), 2));
    EXPECT_EQ(Text(1), "first");
    EXPECT_EQ(Text(2), "\xD5\xE6");  // 真

    // An element that refers to another variant is read through.
    VARIANT target;
    target.vt = VT_I4;
    target.lVal = 99;
    VARIANT* elements = nullptr;
    ASSERT_EQ(::SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)), S_OK);
    ::VariantClear(&elements[1]);
    elements[1].vt = VT_BYREF | VT_VARIANT;
    elements[1].pvarVal = &target;
    ::SafeArrayUnaccessData(array);
    EXPECT_EQ(Text(2), "99");

    // An array held through a reference is read as its elements.
    VARIANT byReference;
    byReference.vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
    byReference.pparray = &v_->parray;
    const std::optional<VARIANT> first = ReadVariantElement(byReference, 1);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(DescribeVariant(*first), "bstr:first");
}

TEST_F(VariantValueTest, AnEmptyArrayHasNoFirstElement) {
    ClearVariant(v_.Get());
    v_->vt = VT_ARRAY | VT_I4;
    v_->parray = ::SafeArrayCreateVector(VT_I4, 0, 0);
    EXPECT_FALSE(ReadVariantElement(*v_.Get(), std::nullopt).has_value());
    EXPECT_FALSE(AssignVariant(v_.Get(), TypedArg::Int(1)));
}

TEST_F(VariantValueTest, ObjectValuesHoldTheirOwnReference) {
    auto fake = FakeAutomation::Make({});
    OwnedAutomationObject record = Hold(fake);
    const ULONG held = fake->References();
    {
        UniqueVariant made;
        ASSERT_TRUE(ValueToVariant(record.Arg(), made));
        EXPECT_EQ(made->vt, VT_UNKNOWN);
        EXPECT_EQ(fake->References(), held + 1);
    }
    EXPECT_EQ(fake->References(), held);
    UniqueVariant none;
    EXPECT_FALSE(ValueToVariant(TypedArg::ByRef(TC_INT, nullptr), none));
}

TEST_F(VariantValueTest, CopiesAreDeepAndACopyOntoItselfKeepsTheValue) {
    ASSERT_TRUE(AssignVariant(v_.Get(), TypedArg::TextArg("same")));
    OwnedVariantValue copy = OwnedVariantValue::New();
    CopyVariant(copy.Get(), v_.Get());
    ASSERT_EQ(copy->vt, VT_BSTR);
    EXPECT_NE(copy->bstrVal, v_->bstrVal);
    EXPECT_STREQ(copy->bstrVal, L"same");
    CopyVariant(v_.Get(), v_.Get());
    EXPECT_EQ(Text(), "same");
    CopyVariant(copy.Get(), nullptr);  // cleared, nothing copied
    EXPECT_EQ(copy->vt, VT_EMPTY);
    CopyVariant(nullptr, v_.Get());
}

}  // namespace
}  // namespace quenlark
