// The in-library JScript host and the two stand-ins built on it: the script control's and the
// regular-expression object's. The stand-in for the regular expression is run side by side
// with the system's object wherever that exists, and must answer the same.
#include <gtest/gtest.h>

#include <windows.h>

#include <activscp.h>
#include <objbase.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "script/AutomationObject.h"
#include "script/ComOwners.h"
#include "script/JsonObject.h"
#include "script/RegexObject.h"
#include "script/RegexStandIn.h"
#include "script/ScriptControlStandIn.h"
#include "script/ScriptHost.h"
#include "script/UnicodeEscapes.h"
#include "script/VariantValue.h"
#include "text/WideText.h"

namespace quenlark {
namespace {

std::string Str(const OwnedText& text) { return std::string(text.view()); }
std::wstring Wide(BSTR s) { return std::wstring(BstrView(s)); }

class ComScope {
public:
    ComScope() { use_.Enter(); }

private:
    ComApartmentUse use_;
};

TEST(ScriptHost, KeepsCodeAndEvaluatesExpressions) {
    ComScope com;
    ScriptHost host;
    ASSERT_EQ(host.Start(), S_OK);
    EXPECT_EQ(host.AddCode(L"var kept = 20; function join(a, b) { return a + '-' + b; }"), S_OK);
    UniqueVariant value;
    ASSERT_EQ(host.Eval(L"kept + 1", value.Get()), S_OK);
    ASSERT_EQ(value->vt, VT_I4);
    EXPECT_EQ(value->lVal, 21);
    // Statements evaluate too; the last expression is the value.
    value.Reset();
    ASSERT_EQ(host.Eval(L"var more = kept * 2; more == 40", value.Get()), S_OK);
    ASSERT_EQ(value->vt, VT_BOOL);
    EXPECT_NE(value->boolVal, VARIANT_FALSE);

    VARIANT args[2] = {};
    args[0].vt = VT_BSTR;
    args[0].bstrVal = ::SysAllocString(L"\x4e2d");  // 中, passed as it is
    args[1].vt = VT_I4;
    args[1].lVal = 7;
    value.Reset();
    EXPECT_EQ(host.Call(L"join", args, value.Get()), S_OK);
    ::SysFreeString(args[0].bstrVal);
    ASSERT_EQ(value->vt, VT_BSTR);
    EXPECT_EQ(Wide(value->bstrVal), L"\x4e2d-7");

    // A new start is a new engine: nothing of the old one is left.
    ASSERT_EQ(host.Start(), S_OK);
    value.Reset();
    ASSERT_EQ(host.Eval(L"typeof kept", value.Get()), S_OK);
    EXPECT_EQ(Wide(value->bstrVal), L"undefined");
}

TEST(ScriptHost, KeepsTheMessageAndPositionOfAScriptError) {
    ComScope com;
    ScriptHost host;
    ASSERT_EQ(host.Start(), S_OK);
    UniqueVariant value;
    EXPECT_TRUE(FAILED(host.Eval(L"var a = 1;\nvar b = ;", value.Get())));
    EXPECT_EQ(value->vt, VT_EMPTY);
    EXPECT_TRUE(FAILED(host.LastError().code));
    EXPECT_GT(::SysStringLen(host.LastError().message.Get()), 0u);
    EXPECT_EQ(host.LastError().line, 1u);

    // An exception out of a called function is kept as well, with its own message.
    ASSERT_EQ(host.AddCode(L"function fails() { throw new Error('left-hand side missing'); }"), S_OK);
    EXPECT_EQ(host.LastError().code, S_OK);  // a good piece forgets the old error
    EXPECT_TRUE(FAILED(host.Call(L"fails", {}, value.Get())));
    EXPECT_NE(Wide(host.LastError().message.Get()).find(L"left-hand side missing"), std::wstring::npos);
    EXPECT_TRUE(FAILED(host.Call(L"noSuchFunction", {}, value.Get())));
    // A host that never started fails every call.
    ScriptHost idle;
    EXPECT_FALSE(idle.Started());
    EXPECT_EQ(idle.Eval(L"1", value.Get()), E_UNEXPECTED);
    EXPECT_EQ(idle.LastError().code, S_OK);
}

TEST(ScriptHost, LeavesTheThreadsComStateAsItFoundIt) {
    {
        ComScope com;
        ScriptHost host;
        ASSERT_EQ(host.Start(), S_OK);
        ScriptHost moved = std::move(host);
        UniqueVariant value;
        EXPECT_EQ(moved.Eval(L"[1, 2].length", value.Get()), S_OK);
    }
    const HRESULT first = ::CoInitialize(nullptr);
    EXPECT_EQ(first, S_OK);  // S_FALSE would mean an initialisation was left behind
    if (SUCCEEDED(first)) ::CoUninitialize();
}

TEST(ScriptControlStandIn, AnswersTheMembersTheObjectsCall) {
    ComScope com;
    OwnedAutomationObject control = OwnedAutomationObject::New();
    ASSERT_TRUE(CreateScriptControlStandIn(*control));
    EXPECT_TRUE(SetProperty(*control, "language", {TypedArg::TextArg("JavaScript")}));  // any case
    EXPECT_FALSE(SetProperty(*control, "Language", {TypedArg::TextArg("VBScript")}));
    EXPECT_FALSE(CallMethod<bool>(*control, "AddCode", {TypedArg::TextArg("function twice(s) { return s + s; }")}));
    EXPECT_EQ(control->lastResult, S_OK);
    EXPECT_EQ(CallMethod<double>(*control, "Eval", {TypedArg::TextArg("6 * 7")}), 42.0);
    EXPECT_TRUE(CallMethod<bool>(*control, "Eval", {TypedArg::TextArg("twice('a') == 'aa'")}));
    EXPECT_EQ(Str(CallMethod<OwnedText>(*control, "Run", {TypedArg::TextArg("twice"), TypedArg::TextArg("\xD6\xD0")})),
              "\xD6\xD0\xD6\xD0");  // 中中
    EXPECT_EQ(CallMethod<OwnedText>(*control, "Eval", {TypedArg::TextArg("syntax error here")}).Get(), nullptr);
    EXPECT_TRUE(FAILED(control->lastResult));
    EXPECT_EQ(CallMethod<OwnedText>(*control, "NoSuchMember").Get(), nullptr);
    EXPECT_EQ(control->lastResult, DISP_E_UNKNOWNNAME);
}

// ---- The regular-expression stand-in against the system's object -----------------------------

struct RegexCase {
    const char* pattern;
    const char* subject;
    bool ignoreCase;
    bool global;
    bool multiline;
};

// Everything the bridge can learn from one run, written out for comparison.
std::string Outcome(AutomationObject& engine, const RegexCase& c) {
    SetProperty(engine, "IgnoreCase", {TypedArg::Bool(c.ignoreCase)});
    SetProperty(engine, "Global", {TypedArg::Bool(c.global)});
    SetProperty(engine, "Multiline", {TypedArg::Bool(c.multiline)});
    SetProperty(engine, "Pattern", {TypedArg::TextArg(c.pattern)});
    std::string out = "pattern=" + Str(GetProperty<OwnedText>(engine, "Pattern"));
    OwnedAutomationObject matches =
        CallMethod<OwnedAutomationObject>(engine, "Execute", {TypedArg::TextArg(c.subject)});
    if (IsObjectEmpty(*matches)) return out + " rejected";
    const double count = GetProperty<double>(*matches, "Count");
    out += " count=" + std::to_string(static_cast<int>(count));
    for (int i = 0; i < count; ++i) {
        OwnedAutomationObject match = GetProperty<OwnedAutomationObject>(*matches, "Item", {TypedArg::Int(i)});
        out += " [" + Str(GetProperty<OwnedText>(*match, "Value")) + "@" +
               std::to_string(static_cast<int>(GetProperty<double>(*match, "FirstIndex"))) + "+" +
               std::to_string(static_cast<int>(GetProperty<double>(*match, "Length")));
        OwnedAutomationObject subs = GetProperty<OwnedAutomationObject>(*match, "SubMatches");
        const double groups = GetProperty<double>(*subs, "Count");
        for (int k = 0; k < groups; ++k) {
            OwnedVariantValue part = GetProperty<OwnedVariantValue>(*subs, "Item", {TypedArg::Int(k)});
            out += " g" + std::to_string(k + 1) + "=" + Str(VariantToText(part.Get()));
        }
        out += "]";
    }
    for (const char* replacement : {"<$1>", "$$", "$&|$`|$'", "$0$9$x$", "$10$01", "#"}) {
        out += " replace(" + std::string(replacement) + ")=" +
               Str(CallMethod<OwnedText>(engine, "Replace",
                                         {TypedArg::TextArg(c.subject), TypedArg::TextArg(replacement)}));
    }
    return out;
}

TEST(RegexStandIn, AnswersAsTheSystemObjectDoes) {
    ComScope com;
    OwnedAutomationObject system = OwnedAutomationObject::New();
    if (!CreateObject(*system, "VBScript.RegExp")) GTEST_SKIP() << "no system regular-expression object here";
    OwnedAutomationObject standIn = OwnedAutomationObject::New();
    ASSERT_TRUE(CreateRegexStandIn(*standIn));

    const std::string page =
        "<html>\r\n<iframe class=\"ifr2\" name=\"1\" src=\"/fn?short\" frameborder=\"0\" scrolling=\"no\"></iframe>\r\n"
        "<iframe class=\"ifr2\" name=\"2\" src=\"/fn?Ab12Cd34Ef56\" frameborder=\"0\"></iframe>\n</html>";
    const RegexCase cases[] = {
        // The library's own patterns, as they are used.
        {"name=\".*\" src=\"(.*)\" frameborder=", page.c_str(), true, true, false},
        {"<meta.+?charset=[^\\w]?([-\\w]+)",
         "<head><meta http-equiv=\"Content-Type\" content=\"text/html; "
         "charset=gb2312\">\r\n<meta charset='utf-8'>",
         true, true, true},
        // Options, anchors and line feeds.
        {"^b", "A\nB\nb", true, true, true},
        {"^b$", "A\r\nb\r\nb", false, true, true},
        {"a.b", "a\nb a-b", false, true, false},
        {"a.b",
         "a\rb a\xA1\xA1"
         "b",
         false, true, false},  // CR; a double-byte space
        // Groups that take no part, nested and repeated groups, lazy quantifiers.
        {"(x)?(a)", "ba ax", false, true, false},
        {"((a)|(b))+", "abba", false, true, false},
        {"<(.+?)>", "<p><q>", false, false, false},
        // Double-byte text, case folding outside ASCII, a rejected pattern.
        {"\xD6\xD0(.)", "x\xD6\xD0\xCE\xC4y\xD6\xD0z", false, true, false},
        {"\xC3\xC9", "\xC3\xC9", true, true, false},
        {"a(b", "ab", false, true, false},
        // Empty matches in a global run are left out: wine's system object never ends such a
        // run. The next test holds the stand-in to the system object's documented answers.
    };
    for (const RegexCase& c : cases) {
        EXPECT_EQ(Outcome(*standIn, c), Outcome(*system, c)) << c.pattern;
    }
}

TEST(RegexStandIn, AGlobalRunMovesOnOneUnitAfterAnEmptyMatch) {
    ComScope com;
    OwnedAutomationObject standIn = OwnedAutomationObject::New();
    ASSERT_TRUE(CreateRegexStandIn(*standIn));
    EXPECT_EQ(Outcome(*standIn, {"a*", "baac", false, true, false}),
              "pattern=a* count=4 [@0+0] [aa@1+2] [@3+0] [@4+0]"
              " replace(<$1>)=<$1>b<$1><$1>c<$1> replace($$)=$b$$c$ replace($&|$`|$')=||baacbaa|b|c|baa|cc|baac|"
              " replace($0$9$x$)=$0$9$x$b$0$9$x$$0$9$x$c$0$9$x$ replace($10$01)=$10$01b$10$01$10$01c$10$01"
              " replace(#)=#b##c#");
    // Not global: the first match only, also when it is empty.
    EXPECT_EQ(Outcome(*standIn, {"(x)?", "ab", false, false, false}),
              "pattern=(x)? count=1 [@0+0 g1=] replace(<$1>)=<>ab replace($$)=$ab replace($&|$`|$')=||abab"
              " replace($0$9$x$)=$0$9$x$ab replace($10$01)=0ab replace(#)=#ab");  // $1 then 0; $01 is group 1
}

// ---- Script from an answer makes no unsafe objects -------------------------------------------

// A bare host of the system's JScript engine with none of the library's settings: what an
// engine does with script when nobody tells it the script is untrusted.
class BareScriptSite final : public IActiveScriptSite {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid != IID_IUnknown && riid != __uuidof(IActiveScriptSite)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR, DWORD, IUnknown**, ITypeInfo**) override {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }
};

bool RunInBareEngine(const std::string& script) {
    CLSID clsid{};
    Microsoft::WRL::ComPtr<IActiveScript> engine;
    Microsoft::WRL::ComPtr<IActiveScriptParse> parse;
    if (FAILED(::CLSIDFromProgID(L"JScript", &clsid)) ||
        FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&engine))) ||
        FAILED(engine.As(&parse))) {
        return false;
    }
    BareScriptSite site;
    EXPECT_EQ(parse->InitNew(), S_OK);
    EXPECT_EQ(engine->SetScriptSite(&site), S_OK);
    EXPECT_EQ(engine->SetScriptState(SCRIPTSTATE_STARTED), S_OK);
    const UniqueBstr code = Cp936ToBstr(script.c_str());
    EXCEPINFO error{};
    (void)parse->ParseScriptText(code.Get(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr, &error);
    ::SysFreeString(error.bstrSource);
    ::SysFreeString(error.bstrDescription);
    ::SysFreeString(error.bstrHelpFile);
    (void)engine->Close();
    return true;
}

// A script control as anyone makes it, with the language set and nothing else.
bool RunInPlainScriptControl(const std::string& script) {
    OwnedAutomationObject control = OwnedAutomationObject::New();
    if (!CreateObject(*control, "MSScriptControl.ScriptControl")) return false;
    EXPECT_TRUE(SetProperty(*control, "Language", {TypedArg::TextArg("JScript")}));
    CallMethod(*control, "AddCode", {TypedArg::TextArg(script.c_str())});
    return true;
}

// The engine behind every JSON object: the system's control where there is one, else the
// library's stand-in over its own host.
bool RunInJsonEngine(const std::string& script) {
    JsonObject json;
    OwnedAutomationObject engine = json.Engine();
    CallMethod(*engine, "AddCode", {TypedArg::TextArg(script.c_str())});
    return true;
}

bool RunInScriptHost(const std::string& script) {
    ScriptHost host;
    EXPECT_EQ(host.Start(), S_OK);
    const UniqueBstr code = Cp936ToBstr(script.c_str());
    EXPECT_TRUE(FAILED(host.AddCode(code.Get())));
    return true;
}

struct EngineCase {
    const char* name;
    bool (*run)(const std::string& script);  // false: there is no such engine here
    bool safe;
};

TEST(ScriptHostSafety, EnginesGivenTheServicesTextMakeNoFileSystemObject) {
    ComScope com;
    char directory[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathA(MAX_PATH, directory), 0u);
    const EngineCase cases[] = {
        {"bare engine", RunInBareEngine, false},  // the file system object works here
        {"plain script control", RunInPlainScriptControl, false},
        {"in-library host", RunInScriptHost, true},
        {"JSON object's engine", RunInJsonEngine, true},
    };
    int unsafeRuns = 0;
    for (const EngineCase& c : cases) {
        const std::string path = std::string(directory) + "quenlark-safety-" + std::to_string(::GetCurrentProcessId()) +
                                 "-" + std::to_string(&c - cases) + ".txt";
        std::string escaped;
        for (const char ch : path) escaped += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
        const std::string script = "var file = new ActiveXObject('Scripting.FileSystemObject').CreateTextFile('" +
                                   escaped + "', true);\nfile.WriteLine('written by script');\nfile.Close();";
        ::DeleteFileA(path.c_str());
        if (!c.run(script)) continue;
        const bool written = ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        ::DeleteFileA(path.c_str());
        EXPECT_EQ(written, !c.safe) << c.name << ": " << path;
        if (!c.safe) ++unsafeRuns;
    }
    EXPECT_GT(unsafeRuns, 0);  // some engine showed that the script does write where nothing stops it
}

// Only in a prefix without any script engine (tests/script-mode-prefix.sh no-script-engines):
// the objects fail as they did where the system objects were missing, without a message.
TEST(ScriptObjectsWithoutAnyEngine, FailWithTheirFailureValues) {
    {
        ComScope com;
        ScriptHost host;
        if (SUCCEEDED(host.Start())) GTEST_SKIP() << "a script engine is here";
        EXPECT_TRUE(FAILED(host.Eval(L"1", nullptr)));
    }
    RegexObject regex;
    EXPECT_FALSE(regex.Create("(a)", "a"));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.SubMatchText(1, 1).Get(), nullptr);
    JsonObject json;
    EXPECT_FALSE(json.Parse("{\"dom\":\"x\"}"));
    EXPECT_EQ(json.GetText("dom").Get(), nullptr);
    OwnedText escaped = OwnedText::CopyOf("\\u4e2d");
    EXPECT_EQ(DecodeUnicodeEscapes(escaped).Get(), nullptr);
}

}  // namespace
}  // namespace quenlark
