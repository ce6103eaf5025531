// The bridge's calls as an object receives them: argument order and conversion, by-reference
// parameters found in the type information, invoke kinds and result conversions. The object
// is a hand-made one (support/FakeAutomation.h) that records each Invoke.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "runtime/Owned.h"
#include "script/AutomationObject.h"
#include "script/InvokeDispatch.h"
#include "script/support/ComTest.h"
#include "script/support/FakeAutomation.h"

namespace quenlark {
namespace {

using Microsoft::WRL::ComPtr;
using testing_support::ComTest;
using testing_support::FakeAutomation;
using testing_support::FakeCall;
using testing_support::FakeMember;
using Form = FakeMember::Form;
using Args = std::vector<std::string>;

enum : DISPID { kTake = 1, kValue, kSwap, kOwner, kOnlyPut, kField, kRefField };

std::vector<FakeMember> Members() {
    return {
        {L"Take", kTake, Form::Function, INVOKE_FUNC, {VT_VARIANT, VT_VARIANT, VT_VARIANT}},
        {L"Value", kValue, Form::Function, INVOKE_PROPERTYGET, {}},
        {L"Value", kValue, Form::Function, INVOKE_PROPERTYPUT, {VT_VARIANT}},
        {L"Swap",
         kSwap,
         Form::Function,
         INVOKE_FUNC,
         {VT_BYREF | VT_BSTR, VT_BYREF | VT_I4, VT_BYREF | VT_BOOL, VT_BYREF | VT_R8}},
        {L"Owner", kOwner, Form::Function, INVOKE_PROPERTYPUT, {VT_BYREF | VT_DISPATCH}},
        {L"OnlyPut", kOnlyPut, Form::Function, INVOKE_PROPERTYPUT, {VT_I4}},
        {L"Field", kField, Form::Variable, INVOKE_FUNC, {}, VT_I4},
        {L"RefField", kRefField, Form::Variable, INVOKE_FUNC, {}, VT_BYREF | VT_I4},
    };
}

class InvokeDispatchTest : public ComTest {
protected:
    ComPtr<FakeAutomation> fake_ = FakeAutomation::Make(Members());
    OwnedAutomationObject obj_ = Hold(fake_);

    // Makes every call answer with a copy of `value`.
    void Answer(const VARIANT& value) {
        fake_->OnInvoke([value](const FakeCall&, DISPPARAMS*, VARIANT* result) {
            return result ? ::VariantCopy(result, const_cast<VARIANT*>(&value)) : S_OK;
        });
    }
};

TEST_F(InvokeDispatchTest, ArgumentsGoLastToFirstAndOnlyAPutNamesItsValue) {
    LONG lastSlot = 0;
    fake_->OnInvoke([&](const FakeCall&, DISPPARAMS* params, VARIANT*) {
        if (params->cArgs) lastSlot = params->rgvarg[0].lVal;
        return S_OK;
    });
    CallMethod(*obj_, "Take", {TypedArg::Int(1), TypedArg::Int(2), TypedArg::Int(3)});
    EXPECT_EQ(lastSlot, 3);  // the last argument is the first element
    EXPECT_EQ(fake_->LastCall().args, (Args{"i4:1", "i4:2", "i4:3"}));
    EXPECT_EQ(fake_->LastCall().kind, DISPATCH_METHOD);
    EXPECT_TRUE(fake_->LastCall().named.empty());

    EXPECT_TRUE(SetProperty(*obj_, "value", {TypedArg::Int(7)}));  // names are looked up as the object does
    EXPECT_EQ(fake_->LastCall().kind, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(fake_->LastCall().named, (std::vector<DISPID>{DISPID_PROPERTYPUT}));
    EXPECT_FALSE(fake_->LastCall().resultWanted);

    (void)GetProperty<OwnedText>(*obj_, "Value");
    EXPECT_EQ(fake_->LastCall().kind, DISPATCH_PROPERTYGET);
    EXPECT_TRUE(fake_->LastCall().resultWanted);
}

TEST_F(InvokeDispatchTest, ATrailingOmittedArgumentIsDroppedAndAnInnerOneIsEmpty) {
    CallMethod(*obj_, "Take", {TypedArg::Int(1), TypedArg::Omitted(), TypedArg::Int(3), TypedArg::Omitted()});
    EXPECT_EQ(fake_->LastCall().args, (Args{"i4:1", "empty", "i4:3"}));
    // Only the last one is checked.
    CallMethod(*obj_, "Take", {TypedArg::Int(1), TypedArg::Omitted(), TypedArg::Omitted()});
    EXPECT_EQ(fake_->LastCall().args, (Args{"i4:1", "empty"}));
}

TEST_F(InvokeDispatchTest, ValuesPassedDirectlyBecomeTheirVariants) {
    OwnedByteSet bytes = OwnedByteSet::CopyOf("\x01\x02\xFF", 3);
    CallMethod(*obj_, "Take",
               {TypedArg::BoolRaw(5), TypedArg::BoolRaw(0), TypedArg::DateTime(2.5),
                TypedArg::TextArg("ab\xD6\xD0" /* ab中 */), TypedArg::TextArg(""), TypedArg::ByteSetArg(bytes.Get()),
                TypedArg::ByteSetArg(nullptr), TypedArg::Raw(TC_INT_ALIAS, 0xFFFFFFFFu), TypedArg::Byte(200),
                TypedArg::Short(-2), TypedArg::Int(-7), TypedArg::Int64Value(1LL << 40), TypedArg::FloatValue(1.5f),
                TypedArg::DoubleValue(2.25), TypedArg::Raw(0x12345, 1)});
    EXPECT_EQ(fake_->LastCall().args, (Args{"bool:-1", "bool:0", "date:2.5", "bstr:ab\\u4e2d", "bstr:null",
                                            "array ui1:[1,2,255]", "array ui1:null", "ui4:4294967295", "ui1:200",
                                            "i2:-2", "i4:-7", "i8:1099511627776", "r4:1.5", "r8:2.25", "empty"}));
}

// An object goes as its IDispatch, with a reference of the call's own that ends with the call.
TEST_F(InvokeDispatchTest, ObjectsGoAsTheirDispatchForTheCallAndVariantsAreCopied) {
    ComPtr<FakeAutomation> other = FakeAutomation::Make({});
    OwnedAutomationObject lent = Hold(other);
    const ULONG before = other->References();
    OwnedVariantValue variant = OwnedVariantValue::New();
    ASSERT_TRUE(AssignVariant(variant.Get(), TypedArg::TextArg("kept")));
    ULONG during = 0;
    IDispatch* received = nullptr;
    fake_->OnInvoke([&](const FakeCall&, DISPPARAMS* params, VARIANT*) {
        during = other->References();
        received = params->rgvarg[1].pdispVal;
        // The callee may clear its copy; the caller's variant must not notice.
        ::VariantClear(&params->rgvarg[0]);
        return S_OK;
    });
    CallMethod(*obj_, "Take", {lent.Arg(), variant.Arg()});
    EXPECT_EQ(fake_->LastCall().args, (Args{"dispatch", "bstr:kept"}));
    EXPECT_EQ(received, static_cast<IDispatch*>(other.Get()));
    EXPECT_EQ(during, before + 1);
    EXPECT_EQ(other->References(), before);
    OwnedText text = VariantToText(variant.Get());
    EXPECT_STREQ(text.Get(), "kept");
}

// An object without IDispatch cannot be passed as one: the call fails before the callee sees
// it, by value and by reference alike, and the record keeps what it held.
TEST_F(InvokeDispatchTest, AnObjectWithoutDispatchFailsTheCallBeforeInvoke) {
    ComPtr<IStream> stream;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    OwnedAutomationObject plain = Hold(stream);
    const std::size_t callsBefore = fake_->Calls().size();
    CallMethod(*obj_, "Take", {TypedArg::Int(1), plain.Arg()});
    EXPECT_EQ(obj_->lastResult, E_NOINTERFACE);
    CallMethod(*obj_, "Owner", {plain.Arg()});
    EXPECT_EQ(obj_->lastResult, E_NOINTERFACE);
    EXPECT_EQ(fake_->Calls().size(), callsBefore);
    EXPECT_EQ(plain->unknown, static_cast<IUnknown*>(stream.Get()));
}

TEST_F(InvokeDispatchTest, VariablesGoByValueToByValueParameters) {
    std::int32_t number = 5;
    std::int32_t flag = 3;
    OwnedText text = OwnedText::CopyOf("abc");
    char* textVariable = text.Get();
    CallMethod(
        *obj_, "Take",
        {TypedArg::ByRef(TC_INT, &number), TypedArg::ByRef(TC_BOOL, &flag), TypedArg::ByRef(TC_TEXT, &textVariable)});
    EXPECT_EQ(fake_->LastCall().args, (Args{"i4:5", "bool:-1", "bstr:abc"}));
    EXPECT_EQ(flag, 3);                   // not normalised: it was not lent
    EXPECT_EQ(textVariable, text.Get());  // not rewritten
}

TEST_F(InvokeDispatchTest, VariablesAreLentToByReferenceParametersAndTextsWrittenBack) {
    OwnedText text = OwnedText::CopyOf("abc");
    char* textVariable = text.Release();
    std::int32_t number = 5;
    std::int32_t flag = 7;
    double real = 1.5;
    fake_->OnInvoke([](const FakeCall&, DISPPARAMS* params, VARIANT*) {
        // rgvarg is last to first: [0] real, [1] flag, [2] number, [3] text.
        *params->rgvarg[0].pdblVal = 3.5;
        *params->rgvarg[1].pboolVal = VARIANT_FALSE;
        *params->rgvarg[2].plVal = 42;
        ::SysFreeString(*params->rgvarg[3].pbstrVal);
        *params->rgvarg[3].pbstrVal = ::SysAllocString(L"\x4e2d\x6587x");  // 中文x
        return S_OK;
    });
    CallMethod(*obj_, "Swap",
               {TypedArg::ByRef(TC_TEXT, &textVariable), TypedArg::ByRef(TC_INT, &number),
                TypedArg::ByRef(TC_BOOL, &flag), TypedArg::ByRef(TC_DOUBLE, &real)});
    OwnedText written = OwnedText::Adopt(textVariable);
    EXPECT_EQ(fake_->LastCall().args, (Args{"byref bstr:abc", "byref i4:5", "byref bool:-1", "byref r8:1.5"}));
    EXPECT_STREQ(written.Get(), "\xD6\xD0\xCE\xC4x");  // 中文x
    EXPECT_EQ(number, 42);
    EXPECT_EQ(flag, 0);  // the false written over a true reads as false
    EXPECT_EQ(real, 3.5);
}

TEST_F(InvokeDispatchTest, AnObjectLentByReferenceTurnsAPutIntoAPutRef) {
    ComPtr<FakeAutomation> other = FakeAutomation::Make({});
    OwnedAutomationObject lent = Hold(other);
    fake_->OnInvoke([](const FakeCall&, DISPPARAMS* params, VARIANT*) {
        // The callee takes the object out of the caller's record.
        IDispatch** slot = params->rgvarg[0].ppdispVal;
        (*slot)->Release();
        *slot = nullptr;
        return S_OK;
    });
    const ULONG before = other->References();
    CallMethod(*obj_, "Owner", {lent.Arg()});
    EXPECT_EQ(fake_->LastCall().kind, DISPATCH_PROPERTYPUTREF);
    EXPECT_EQ(fake_->LastCall().named, (std::vector<DISPID>{DISPID_PROPERTYPUT}));
    EXPECT_EQ(fake_->LastCall().args, (Args{"byref dispatch"}));
    EXPECT_TRUE(IsObjectEmpty(*lent));
    EXPECT_EQ(other->References(), before - 1);
}

TEST_F(InvokeDispatchTest, TheTypeInformationDecidesTheInvokeKind) {
    (void)CallMethod<OwnedText>(*obj_, "Value");  // described as a property get first
    EXPECT_EQ(fake_->LastCall().kind, DISPATCH_PROPERTYGET);
    (void)CallMethod<double>(*obj_, "OnlyPut");  // a put called without arguments reads
    EXPECT_EQ(fake_->LastCall().kind, DISPATCH_PROPERTYGET);
    EXPECT_TRUE(fake_->LastCall().named.empty());
    CallMethod(*obj_, "OnlyPut", {TypedArg::Int(3)});
    EXPECT_EQ(fake_->LastCall().kind, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(fake_->LastCall().named, (std::vector<DISPID>{DISPID_PROPERTYPUT}));
    (void)CallMethod<double>(*obj_, "Field");  // a variable is read
    EXPECT_EQ(fake_->LastCall().kind, DISPATCH_PROPERTYGET);
}

TEST_F(InvokeDispatchTest, APointerVariableTakesItsValueByReference) {
    std::int32_t number = 5;
    EXPECT_TRUE(SetProperty(*obj_, "RefField", {TypedArg::ByRef(TC_INT, &number)}));
    EXPECT_EQ(fake_->LastCall().args, (Args{"byref i4:5"}));
    EXPECT_TRUE(SetProperty(*obj_, "Field", {TypedArg::ByRef(TC_INT, &number)}));
    EXPECT_EQ(fake_->LastCall().args, (Args{"i4:5"}));
}

TEST_F(InvokeDispatchTest, AnObjectWithoutTypeInformationGetsValuesAndTheKindAsAsked) {
    ComPtr<FakeAutomation> bare = FakeAutomation::Make(Members(), false);
    OwnedAutomationObject obj = Hold(bare);
    OwnedText text = OwnedText::CopyOf("abc");
    char* textVariable = text.Get();
    (void)CallMethod<OwnedText>(*obj, "Value");
    EXPECT_EQ(bare->LastCall().kind, DISPATCH_METHOD);
    CallMethod(*obj, "Swap", {TypedArg::ByRef(TC_TEXT, &textVariable)});
    EXPECT_EQ(bare->LastCall().args, (Args{"bstr:abc"}));
    EXPECT_EQ(textVariable, text.Get());
}

TEST_F(InvokeDispatchTest, SetPropertyIsTrueOnlyForSOk) {
    HRESULT answer = S_FALSE;
    fake_->OnInvoke([&](const FakeCall&, DISPPARAMS*, VARIANT*) { return answer; });
    EXPECT_FALSE(SetProperty(*obj_, "Value", {TypedArg::Int(1)}));
    EXPECT_EQ(obj_->lastResult, S_FALSE);
    answer = DISP_E_TYPEMISMATCH;
    EXPECT_FALSE(SetProperty(*obj_, "Value", {TypedArg::Int(1)}));
    EXPECT_EQ(obj_->lastResult, DISP_E_TYPEMISMATCH);
    answer = S_OK;
    EXPECT_TRUE(SetProperty(*obj_, "Value", {TypedArg::Int(1)}));
    EXPECT_EQ(obj_->lastResult, S_OK);
}

TEST_F(InvokeDispatchTest, AFailedCallGivesTheFailureValueEvenWhenItFilledTheResult) {
    fake_->OnInvoke([](const FakeCall&, DISPPARAMS*, VARIANT* result) {
        result->vt = VT_BSTR;
        result->bstrVal = ::SysAllocString(L"partial");
        return DISP_E_EXCEPTION;
    });
    EXPECT_EQ(GetProperty<OwnedText>(*obj_, "Value").Get(), nullptr);
    EXPECT_EQ(obj_->lastResult, DISP_E_EXCEPTION);
    OwnedVariantValue variant = GetProperty<OwnedVariantValue>(*obj_, "Value");
    EXPECT_EQ(variant->vt, VT_EMPTY);
}

TEST_F(InvokeDispatchTest, EveryOperationOnAnEmptyRecordFailsWithEPointer) {
    OwnedAutomationObject empty = OwnedAutomationObject::New();
    EXPECT_EQ(GetProperty<OwnedText>(*empty, "Value").Get(), nullptr);
    EXPECT_EQ(empty->lastResult, E_POINTER);
    EXPECT_EQ(GetProperty<double>(*empty, "Value"), 0.0);
    EXPECT_FALSE(CallMethod<bool>(*empty, "Value"));
    EXPECT_FALSE(SetProperty(*empty, "Value", {TypedArg::Int(1)}));
    OwnedAutomationObject none = CallMethod<OwnedAutomationObject>(*empty, "Value");
    ASSERT_NE(none.Get(), nullptr);
    EXPECT_TRUE(IsObjectEmpty(*none));
    EXPECT_EQ(GetProperty<OwnedVariantValue>(*empty, "Value")->vt, VT_EMPTY);
    EXPECT_EQ(empty->lastResult, E_POINTER);
}

VARIANT VariantOf(VARTYPE vt, void (*fill)(VARIANT&)) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = vt;
    fill(v);
    return v;
}

TEST_F(InvokeDispatchTest, NumbersAreReadByVariantTypeAndTextsAreNotParsed) {
    const std::pair<VARIANT, double> cases[] = {
        {VariantOf(VT_I1, [](VARIANT& v) { v.cVal = static_cast<CHAR>(-5); }), -5.0},  // sign-extended
        {VariantOf(VT_UI4, [](VARIANT& v) { v.ulVal = 0xFFFFFFFFu; }), 4294967295.0},  // zero-extended
        {VariantOf(VT_DATE, [](VARIANT& v) { v.date = 2.75; }), 2.75},
        {VariantOf(VT_CY, [](VARIANT& v) { v.cyVal.int64 = 12345; }), 1.2345},
        {VariantOf(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }), -1.0},
        {VariantOf(VT_I8, [](VARIANT& v) { v.llVal = 5; }), 0.0},  // not among the read types
    };
    for (const auto& [value, expected] : cases) {
        Answer(value);
        EXPECT_DOUBLE_EQ(CallMethod<double>(*obj_, "Value"), expected) << "vt " << value.vt;
    }
    VARIANT twelve;
    twelve.vt = VT_BSTR;
    twelve.bstrVal = ::SysAllocString(L"12");
    Answer(twelve);
    EXPECT_EQ(GetProperty<double>(*obj_, "Value"), 0.0);
    ::VariantClear(&twelve);
}

TEST_F(InvokeDispatchTest, TextsBoolsObjectsAndVariantsFollowTheirResultRules) {
    const VARIANT twelve = VariantOf(VT_I4, [](VARIANT& v) { v.lVal = 12; });
    Answer(twelve);
    EXPECT_STREQ(GetProperty<OwnedText>(*obj_, "Value").Get(), "12");
    EXPECT_FALSE(CallMethod<bool>(*obj_, "Value"));  // VT_I4 1 or 12 is no bool
    Answer(VariantOf(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }));
    EXPECT_TRUE(CallMethod<bool>(*obj_, "Value"));
    Answer(VariantOf(VT_NULL, [](VARIANT&) {}));
    EXPECT_EQ(GetProperty<OwnedText>(*obj_, "Value").Get(), nullptr);

    VARIANT word;
    word.vt = VT_BSTR;
    word.bstrVal = ::SysAllocString(L"\x4e2d");  // 中
    Answer(word);
    EXPECT_STREQ(CallMethod<OwnedText>(*obj_, "Value").Get(), "\xD6\xD0");
    EXPECT_FALSE(CallMethod<bool>(*obj_, "Value"));
    OwnedVariantValue kept = GetProperty<OwnedVariantValue>(*obj_, "Value");
    ASSERT_EQ(kept->vt, VT_BSTR);
    EXPECT_STREQ(kept->bstrVal, L"\x4e2d");
    ::VariantClear(&word);

    // Objects: directly, or through a reference; a reference is taken for the new record.
    ComPtr<FakeAutomation> other = FakeAutomation::Make({});
    IDispatch* pointer = other.Get();
    fake_->OnInvoke([&](const FakeCall& call, DISPPARAMS*, VARIANT* result) {
        result->vt = call.id == kValue ? VT_BYREF | VT_DISPATCH : VT_DISPATCH;
        if (call.id == kValue) {
            result->ppdispVal = &pointer;
        } else {
            other->AddRef();
            result->pdispVal = other.Get();
        }
        return S_OK;
    });
    const ULONG before = other->References();
    {
        OwnedAutomationObject viaReference = GetProperty<OwnedAutomationObject>(*obj_, "Value");
        OwnedAutomationObject direct = CallMethod<OwnedAutomationObject>(*obj_, "Take");
        EXPECT_EQ(viaReference->unknown, static_cast<IUnknown*>(other.Get()));
        EXPECT_EQ(direct->unknown, static_cast<IUnknown*>(other.Get()));
        EXPECT_EQ(other->References(), before + 2);
        EXPECT_EQ(direct->lastResult, 0);  // the call's HRESULT goes to the source record
    }
    EXPECT_EQ(other->References(), before);
    Answer(twelve);
    EXPECT_TRUE(IsObjectEmpty(*GetProperty<OwnedAutomationObject>(*obj_, "Value")));
}

TEST_F(InvokeDispatchTest, RecordsShareAndDropTheirReferences) {
    const ULONG held = fake_->References();
    OwnedAutomationObject copy = OwnedAutomationObject::New();
    copy->lastResult = 5;
    AssignObject(*copy, *obj_);
    EXPECT_EQ(fake_->References(), held + 1);
    EXPECT_EQ(copy->lastResult, 5);  // not changed by an assignment
    AssignObject(*copy, *copy);
    EXPECT_EQ(fake_->References(), held + 1);
    AssignObject(*copy, *OwnedAutomationObject::New());
    EXPECT_EQ(fake_->References(), held);
    EXPECT_TRUE(IsObjectEmpty(*copy));

    AssignObject(*copy, *obj_);
    // A new creation drops what the record held, even when it then fails.
    EXPECT_FALSE(CreateObject(*copy, ""));
    EXPECT_EQ(copy->lastResult, 0);
    EXPECT_EQ(fake_->References(), held);
    AssignObject(*copy, *obj_);
    copy->lastResult = 9;
    ClearObject(*copy);
    EXPECT_EQ(copy->lastResult, 0);
    EXPECT_EQ(fake_->References(), held);
}

}  // namespace
}  // namespace quenlark
