// The bridge against the system's own automation objects: creation and its failure codes,
// the invoke-kind rule, code page 936 texts and the result rules as real objects answer.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

#include "runtime/Owned.h"
#include "runtime/Trace.h"
#include "script/AutomationObject.h"
#include "script/support/ComTest.h"

namespace quenlark {
namespace {

using testing_support::ComTest;

constexpr char kRegexProgId[] = "VBScript.RegExp";
constexpr char kRegexClsid[] = "{3F4DACA4-160D-11D2-A8E9-00104B365C9F}";
constexpr char kScriptControl[] = "MSScriptControl.ScriptControl";

class AutomationObjectTest : public ComTest {
protected:
    // A script control running JScript.
    OwnedAutomationObject Script() {
        OwnedAutomationObject script = OwnedAutomationObject::New();
        EXPECT_TRUE(CreateObject(*script, kScriptControl));
        EXPECT_TRUE(SetProperty(*script, "Language", {TypedArg::TextArg("JScript")}));
        return script;
    }
    static OwnedText Eval(AutomationObject& script, const char* code) {
        return CallMethod<OwnedText>(script, "Eval", {TypedArg::TextArg(code)});
    }
};

TEST_F(AutomationObjectTest, CreatesFromAProgIdAndFromAClsidInBraces) {
    OwnedAutomationObject byName = OwnedAutomationObject::New();
    ASSERT_TRUE(CreateObject(*byName, kRegexProgId));
    EXPECT_EQ(byName->lastResult, S_OK);
    EXPECT_FALSE(IsObjectEmpty(*byName));

    OwnedAutomationObject byClsid = OwnedAutomationObject::New();
    ASSERT_TRUE(CreateObject(*byClsid, kRegexClsid));
    EXPECT_TRUE(SetProperty(*byClsid, "Pattern", {TypedArg::TextArg("a+")}));
    EXPECT_STREQ(GetProperty<OwnedText>(*byClsid, "Pattern").Get(), "a+");
}

TEST_F(AutomationObjectTest, FailedCreationsKeepTheHResultOfTheFailedStep) {
    OwnedAutomationObject obj = OwnedAutomationObject::New();
    EXPECT_FALSE(CreateObject(*obj, "Quenlark.NoSuchObject"));
    EXPECT_EQ(obj->lastResult, CO_E_CLASSSTRING);  // CLSIDFromString's, after CLSIDFromProgID failed
    EXPECT_TRUE(IsObjectEmpty(*obj));

    EXPECT_FALSE(CreateObject(*obj, "{00000000-0000-0000-0000-0000000000AB}"));
    EXPECT_EQ(obj->lastResult, REGDB_E_CLASSNOTREG);  // CoCreateInstance's

    EXPECT_FALSE(CreateObject(*obj, nullptr));
    EXPECT_EQ(obj->lastResult, 0);
}

// Writes a type library file with one creatable coclass, `name`, for the regex engine's CLSID:
// a name that no ProgID has, so only the library can resolve it.
bool WriteCoclassLibrary(const wchar_t* file, const wchar_t* name) {
    Microsoft::WRL::ComPtr<ICreateTypeLib2> library;
    Microsoft::WRL::ComPtr<ICreateTypeInfo> coclass;
    CLSID engine{};
    const GUID libraryId = {0x5d1f3a70, 0x2b4c, 0x4e21, {0x9a, 0x10, 0x51, 0x7e, 0x33, 0x0c, 0x8d, 0x42}};
    return SUCCEEDED(::CLSIDFromString(L"{3F4DACA4-160D-11D2-A8E9-00104B365C9F}", &engine)) &&
           SUCCEEDED(::CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, file, &library)) &&
           SUCCEEDED(library->SetGuid(libraryId)) &&
           SUCCEEDED(library->SetName(const_cast<LPOLESTR>(L"QuenlarkTest"))) &&
           SUCCEEDED(library->CreateTypeInfo(const_cast<LPOLESTR>(name), TKIND_COCLASS, &coclass)) &&
           SUCCEEDED(coclass->SetGuid(engine)) && SUCCEEDED(coclass->SetTypeFlags(TYPEFLAG_FCANCREATE)) &&
           SUCCEEDED(coclass->LayOut()) && SUCCEEDED(library->SaveAllChanges());
}

TEST_F(AutomationObjectTest, ACoclassOfATypeLibraryIsMadeByItsName) {
    ASSERT_TRUE(WriteCoclassLibrary(L"quenlark-test.tlb", L"QuenlarkPattern"));
    OwnedAutomationObject pattern = OwnedAutomationObject::New();
    EXPECT_FALSE(CreateObject(*pattern, "QuenlarkPattern"));  // no such ProgID
    ASSERT_TRUE(CreateObject(*pattern, "QuenlarkPattern", "quenlark-test.tlb"));
    EXPECT_TRUE(SetProperty(*pattern, "Pattern", {TypedArg::TextArg("b+")}));
    EXPECT_STREQ(GetProperty<OwnedText>(*pattern, "Pattern").Get(), "b+");

    // No coclass of that name in the library, or no library: the ProgID is used.
    OwnedAutomationObject regex = OwnedAutomationObject::New();
    EXPECT_TRUE(CreateObject(*regex, kRegexProgId, "quenlark-test.tlb"));
    EXPECT_TRUE(CreateObject(*regex, kRegexProgId, "no-such-library.tlb"));
    EXPECT_FALSE(CreateObject(*regex, "QuenlarkPattern", "no-such-library.tlb"));
    EXPECT_EQ(regex->lastResult, CO_E_CLASSSTRING);
}

TEST_F(AutomationObjectTest, APropertyGetterCalledAsAMethodIsRead) {
    OwnedAutomationObject regex = OwnedAutomationObject::New();
    ASSERT_TRUE(CreateObject(*regex, kRegexProgId));
    ASSERT_TRUE(SetProperty(*regex, "Pattern", {TypedArg::TextArg("x(y)")}));
    // The object itself refuses a method call of a property; the type information says get.
    EXPECT_STREQ(CallMethod<OwnedText>(*regex, "Pattern").Get(), "x(y)");
    EXPECT_EQ(regex->lastResult, S_OK);
    OwnedAutomationObject script = Script();
    EXPECT_STREQ(CallMethod<OwnedText>(*script, "Language").Get(), "JScript");
}

TEST_F(AutomationObjectTest, UnknownMembersFailWithTheLookUpHResult) {
    OwnedAutomationObject regex = OwnedAutomationObject::New();
    ASSERT_TRUE(CreateObject(*regex, kRegexProgId));
    // The engine has no such property: the put fails and changes nothing.
    EXPECT_FALSE(SetProperty(*regex, "Singleline", {TypedArg::Bool(true)}));
    EXPECT_EQ(regex->lastResult, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(GetProperty<OwnedText>(*regex, "NoSuchMember").Get(), nullptr);
    EXPECT_EQ(regex->lastResult, DISP_E_UNKNOWNNAME);
}

TEST_F(AutomationObjectTest, TextsCrossInCodePage936WhateverTheSystemCodePage) {
    OwnedAutomationObject script = Script();
    EXPECT_STREQ(Eval(*script, "'\xD6\xD0' + '\xCE\xC4'" /* '中' + '文' */).Get(), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(CallMethod<double>(*script, "Eval", {TypedArg::TextArg("'\xD6\xD0\xCE\xC4'.length")}), 2.0);
    // A character that code page 936 lacks comes back as a question mark.
    EXPECT_STREQ(Eval(*script, "String.fromCharCode(0x0e01)").Get(), "?");
    EXPECT_EQ(Eval(*script, "''").Get(), nullptr);
}

TEST_F(AutomationObjectTest, ScriptResultsFollowTheTextNumberAndBoolRules) {
    OwnedAutomationObject script = Script();
    EXPECT_STREQ(Eval(*script, "12").Get(), "12");
    EXPECT_EQ(CallMethod<double>(*script, "Eval", {TypedArg::TextArg("1.5")}), 1.5);
    EXPECT_EQ(CallMethod<double>(*script, "Eval", {TypedArg::TextArg("'12'")}), 0.0);
    EXPECT_TRUE(CallMethod<bool>(*script, "Eval", {TypedArg::TextArg("1 == 1")}));
    EXPECT_FALSE(CallMethod<bool>(*script, "Eval", {TypedArg::TextArg("1")}));
    EXPECT_FALSE(CallMethod<bool>(*script, "Eval", {TypedArg::TextArg("'true'")}));
    // A script error fails the call.
    EXPECT_EQ(Eval(*script, "no such thing").Get(), nullptr);
    EXPECT_EQ(script->lastResult, DISP_E_EXCEPTION);
}

TEST_F(AutomationObjectTest, AFailedCallIsTracedWithTheScriptErrorOnlyWhileACallIsTraced) {
    OwnedAutomationObject script = Script();
    const char* path = "trace-automation.log";
    std::remove(path);
    ::SetEnvironmentVariableA("QUENLARK_TRACE", path);
    {
        const trace::CallScope call("HttpGetUrl", "x");
        EXPECT_EQ(Eval(*script, "no such thing").Get(), nullptr);
    }
    EXPECT_EQ(Eval(*script, "no such thing").Get(), nullptr);  // outside a call: not traced
    ::SetEnvironmentVariableA("QUENLARK_TRACE", nullptr);
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::vector<std::string> failed;
    while (std::getline(in, line)) {
        if (line.starts_with("[Quenlark] script: Eval failed, 0x80020009: ")) failed.push_back(line);
    }
    in.close();
    std::remove(path);
    ASSERT_EQ(failed.size(), 1u);
    // The engine's message and where in the statement it stopped.
    EXPECT_TRUE(std::regex_match(failed[0], std::regex(R"(.*: .+ \(line 1, column [0-9]+\))"))) << failed[0];
}

TEST_F(AutomationObjectTest, ObjectResultsAreNewRecordsOnTheSameObjects) {
    OwnedAutomationObject regex = OwnedAutomationObject::New();
    ASSERT_TRUE(CreateObject(*regex, kRegexProgId));
    ASSERT_TRUE(SetProperty(*regex, "Pattern", {TypedArg::TextArg("a.")}));
    ASSERT_TRUE(SetProperty(*regex, "Global", {TypedArg::Bool(true)}));
    OwnedAutomationObject matches = CallMethod<OwnedAutomationObject>(*regex, "Execute", {TypedArg::TextArg("abxac")});
    ASSERT_FALSE(IsObjectEmpty(*matches));
    EXPECT_EQ(GetProperty<double>(*matches, "Count"), 2.0);
    OwnedAutomationObject second = GetProperty<OwnedAutomationObject>(*matches, "Item", {TypedArg::DoubleValue(1)});
    EXPECT_STREQ(GetProperty<OwnedText>(*second, "Value").Get(), "ac");
    EXPECT_EQ(GetProperty<double>(*second, "FirstIndex"), 3.0);
    OwnedAutomationObject outside = GetProperty<OwnedAutomationObject>(*matches, "Item", {TypedArg::DoubleValue(5)});
    EXPECT_TRUE(IsObjectEmpty(*outside));
    EXPECT_NE(matches->lastResult, S_OK);
}

}  // namespace
}  // namespace quenlark
