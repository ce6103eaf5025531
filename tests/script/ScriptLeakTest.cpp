// Making and dropping each script object thousands of times in one process must not make the
// process grow: neither its private memory nor its open handles. The bounds are generous
// (heap growth from fragmentation is allowed for); a leaked engine, match collection or COM
// apartment per round would exceed them many times over.
#include <gtest/gtest.h>

#include <cstdio>

#include "script/AutomationObject.h"
#include "script/VariantValue.h"
#include "script/ComOwners.h"
#include "script/UnicodeEscapes.h"
#include "script/support/ProcessUsage.h"

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
        OwnedAutomationObject matches = CallObjectMethod(*regex, "Execute", {TypedArg::TextArg("a\xD6\xD0" "b")});
        OwnedVariantValue first = GetVariantProperty(*matches, "Item", {TypedArg::Int(0)});
        EXPECT_EQ(GetNumberProperty(*matches, "Count"), 1.0);
    });
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
        (void)CallTextMethod(*control, "Eval", {TypedArg::TextArg("function echo(s){return s}")});
        OwnedVariantValue argument = OwnedVariantValue::New();
        AssignVariant(argument.get(), TypedArg::TextArg("\\u4e2d"));
        EXPECT_STREQ(CallTextMethod(*control, "Run", {TypedArg::TextArg("echo"), argument.Arg()}).get(), "\\u4e2d");
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
