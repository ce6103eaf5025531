// Making and dropping each script object thousands of times in one process must not make the
// process grow: neither its private memory nor its open handles. The bounds are generous
// (heap growth from fragmentation is allowed for); a leaked engine, match collection or COM
// apartment per round would exceed them many times over.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "script/AutomationObject.h"
#include "script/ComOwners.h"
#include "script/JsonHelperScript.h"
#include "script/JsonObject.h"
#include "script/RegexObject.h"
#include "script/UnicodeEscapes.h"
#include "script/VariantValue.h"
#include "support/ProcessUsage.h"

namespace quenlark {
namespace {

using testing_support::ProcessUsage;
using testing_support::ReadProcessUsage;

constexpr int kWarmUpRounds = 200;
constexpr int kRounds = 3000;
constexpr long long kMaxPrivateGrowth = 2 * 1024 * 1024;  // under 700 bytes a round
constexpr long long kMaxHandleGrowth = 8;

struct Growth {
    long long privateBytes;
    long long handles;
};

// Runs `round` `warmUp` times, then `rounds` times between two readings, and reports.
template <typename Round>
Growth Measure(const char* what, int warmUp, int rounds, Round round) {
    for (int i = 0; i < warmUp; ++i) round();
    const ProcessUsage before = ReadProcessUsage();
    for (int i = 0; i < rounds; ++i) round();
    const ProcessUsage after = ReadProcessUsage();
    const Growth growth{static_cast<long long>(after.privateBytes) - static_cast<long long>(before.privateBytes),
                        static_cast<long long>(after.handles) - static_cast<long long>(before.handles)};
    std::printf("[ usage    ] %s: %d rounds, private bytes %zu -> %zu (%+lld), handles %zu -> %zu (%+lld)\n", what,
                rounds, before.privateBytes, after.privateBytes, growth.privateBytes, before.handles, after.handles,
                growth.handles);
    EXPECT_GT(before.handles, 0u) << "the handle count cannot be read here";
    return growth;
}

template <typename Round>
void ExpectNoGrowth(const char* what, Round round) {
    const Growth growth = Measure(what, kWarmUpRounds, kRounds, round);
    EXPECT_LT(growth.privateBytes, kMaxPrivateGrowth) << what;
    EXPECT_LE(growth.handles, kMaxHandleGrowth) << what;
}

TEST(ScriptObjectsDoNotLeak, AutomationObjectsAndTheirResults) {
    ComApartmentUse com;
    com.Enter();
    ExpectNoGrowth("AutomationObject", [] {
        OwnedAutomationObject regex = OwnedAutomationObject::New();
        CreateObject(*regex, "VBScript.RegExp");
        SetProperty(*regex, "Pattern", {TypedArg::TextArg("(\xD6\xD0)b")});
        OwnedAutomationObject matches = CallMethod<OwnedAutomationObject>(*regex, "Execute",
                                                                          {TypedArg::TextArg("a\xD6\xD0"
                                                                                             "b")});
        OwnedVariantValue first = GetProperty<OwnedVariantValue>(*matches, "Item", {TypedArg::Int(0)});
        EXPECT_EQ(GetProperty<double>(*matches, "Count"), 1.0);
    });
}

TEST(ScriptObjectsDoNotLeak, RegexObjects) {
    ExpectNoGrowth("RegexObject", [] {
        RegexObject regex;
        RegexOptions options;
        options.quotePlaceholder = true;
        regex.Create("src=#引号(.*?)#引号", "<p>\xD6\xD0</p><iframe src=\"/fn?Ab\">", options);
        std::int32_t position = 0;
        EXPECT_EQ(regex.SubMatchText(1, 1, &position).length(), 6u);
        RegexObject copy = regex.Copy();
        EXPECT_EQ(copy.ReplaceMatches("x").length(), 19u);
    });
}

// Wine's JScript keeps about 2 KB for every Eval it has run, even after its engine is released
// (the engines themselves and AddCode keep nothing). A JSON object's round, as the resolver
// makes it on every call, is therefore measured against bare script controls that run the
// very same statements: what the object adds to that must stay under the bound.
TEST(ScriptObjectsDoNotLeak, JsonObjectsAddNothingToTheEnginesOwnCost) {
    constexpr int kJsonRounds = 2000;
    constexpr char kAnswer[] = "{\"dom\":\"https:\\/\\/a.test\",\"url\":\"?x\"}";
    const auto bareEngine = [](std::initializer_list<const char*> statements) {
        OwnedAutomationObject control = OwnedAutomationObject::New();
        CreateObject(*control, "MSScriptControl.ScriptControl");
        SetProperty(*control, "Language", {TypedArg::TextArg("JavaScript")});
        (void)CallMethod<bool>(*control, "AddCode", {TypedArg::TextArg(kHelperScript)});
        for (const char* statement : statements) {
            const bool isCode = std::string_view(statement).starts_with("var da = eval(");
            (void)CallMethod<OwnedText>(*control, isCode ? "AddCode" : "Eval", {TypedArg::TextArg(statement)});
        }
    };
    constexpr char kSetUp[] = "var da = {}, str_Code = String.fromCharCode(9216), str_reg = new RegExp(str_Code, 'g')";
    const std::string parse = std::string("var da = eval(") + kAnswer + ")";
    ComApartmentUse com;
    com.Enter();
    const Growth platform = Measure("script controls running the same statements", 20, kJsonRounds, [&] {
        // A parse right after construction keeps the object's first engine.
        bareEngine({kSetUp, "var da = null", parse.c_str(), "da != null", "da.dom != null",
                    "da.dom.replace(str_reg, '\\\\')", "da.url != null", "da.url.replace(str_reg, '\\\\')"});
    });
    const Growth object = Measure("JsonObject new + Parse + GetText x2", 20, kJsonRounds, [&] {
        JsonObject json;
        EXPECT_TRUE(json.Parse(kAnswer));
        EXPECT_EQ(json.GetText("dom").view(), "https://a.test");
        EXPECT_EQ(json.GetText("url").view(), "?x");
    });
    EXPECT_LT(object.privateBytes - platform.privateBytes, kMaxPrivateGrowth);
    EXPECT_LE(object.handles, kMaxHandleGrowth);
}

// A script control on which Run was called stays alive in wine after its last release (about
// 4 MB each, the same for one Run or many; Eval alone does not do it). The decoder has to
// call Run, so it is measured against a bare control used the same way: what it adds to the
// platform's own cost must be next to nothing. Few rounds, since each keeps 4 MB there.
TEST(ScriptObjectsDoNotLeak, UnicodeEscapeDecodingAddsNothingToThePlatformsOwnCost) {
    constexpr int kDecodeRounds = 40;
    constexpr long long kMaxExtraPerRound = 64 * 1024;
    const Growth platform = Measure("script control with Run", 5, kDecodeRounds, [] {
        ComApartmentUse com;
        com.Enter();
        OwnedAutomationObject control = OwnedAutomationObject::New();
        CreateObject(*control, "scriptcontrol");
        SetProperty(*control, "Language", {TypedArg::TextArg("JScript")});
        (void)CallMethod<OwnedText>(*control, "Eval", {TypedArg::TextArg("function echo(s){return s}")});
        OwnedVariantValue argument = OwnedVariantValue::New();
        AssignVariant(argument.Get(), TypedArg::TextArg("\\u4e2d"));
        EXPECT_STREQ(CallMethod<OwnedText>(*control, "Run", {TypedArg::TextArg("echo"), argument.Arg()}).Get(),
                     "\\u4e2d");
    });
    const Growth decoder = Measure("DecodeUnicodeEscapes", 5, kDecodeRounds, [] {
        OwnedText text = OwnedText::CopyOf("\\u4e2d\\u6587");
        OwnedText decoded = DecodeUnicodeEscapes(text);
        EXPECT_EQ(decoded.length(), 4u);
    });
    EXPECT_LT((decoder.privateBytes - platform.privateBytes) / kDecodeRounds, kMaxExtraPerRound);
    EXPECT_LE(decoder.handles, kMaxHandleGrowth);
}

}  // namespace
}  // namespace quenlark
