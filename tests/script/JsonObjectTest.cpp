// The JSON object over the system's script control.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "script/JsonObject.h"

namespace quenlark {
namespace {

std::string Str(const OwnedText& text) { return std::string(text.view()); }

// An answer as the service gives it: escaped slashes, numbers, nesting.
constexpr char kAnswer[] =
    "{\"zt\":1,\"dom\":\"https:\\/\\/dl.quenlark-files.test\",\"url\":\"?Ab12\",\"n\":1.5,"
    "\"arr\":[1,\"x\",{\"k\":true}],\"obj\":{\"a\":{\"b\":[10,20,30]}},\"name\":\"\xD6\xD0\xCE\xC4\"}";

class JsonObjectTest : public ::testing::Test {
protected:
    JsonObject json_;

    // The statement's value as text, run in the object's engine as it stands.
    std::string Eval(const std::string& statement) {
        OwnedAutomationObject engine = json_.Engine();
        return Str(CallMethod<OwnedText>(*engine, "Eval", {TypedArg::TextArg(statement.c_str())}));
    }
    // What the engine's global `name` is after the last statement (typeof).
    std::string TypeOfGlobal(const char* name) { return Eval(std::string("typeof ") + name); }
};

TEST_F(JsonObjectTest, ParseDecodesAnswersAndReadsMembersByPath) {
    ASSERT_TRUE(json_.Parse(kAnswer));
    EXPECT_EQ(Str(json_.GetText("dom")), "https://dl.quenlark-files.test");  // \/ decoded
    EXPECT_EQ(Str(json_.GetText("url")), "?Ab12");
    EXPECT_EQ(Str(json_.GetText("name")), "\xD6\xD0\xCE\xC4");  // 中文
    EXPECT_EQ(json_.GetText("n").Get(), nullptr);               // not a string
    EXPECT_EQ(Str(json_.GetText("n", true)), "1.5");
    EXPECT_EQ(Str(json_.GetJsonText("obj.a.b[1]")), "20");
    EXPECT_EQ(json_.GetNumber("n"), 1.5);
    EXPECT_EQ(json_.GetNumber("url"), 0.0);
    EXPECT_EQ(json_.ArrayLength("arr"), 3);
    EXPECT_EQ(json_.ArrayLength("obj"), 0);
    EXPECT_EQ(Str(json_.GetElementText(1, "arr")), "x");
    EXPECT_EQ(Str(json_.GetElementText(2, "arr", true)), "{\"k\":true}");
    EXPECT_EQ(json_.GetText("missing.deeper").Get(), nullptr);
}

TEST_F(JsonObjectTest, MemberTypesNameTheirKinds) {
    ASSERT_TRUE(json_.Parse(kAnswer));
    EXPECT_EQ(json_.MemberType("zt"), kJsonNumber);
    EXPECT_EQ(json_.MemberType("dom"), kJsonString);
    EXPECT_EQ(json_.MemberType("arr"), kJsonArray);
    EXPECT_EQ(json_.MemberType("obj"), kJsonObject);
    EXPECT_EQ(json_.MemberType("arr[2].k"), kJsonBoolean);
    EXPECT_EQ(json_.MemberType("missing"), kJsonMissing);
    EXPECT_EQ(json_.MemberType(), kJsonObject);
}

TEST_F(JsonObjectTest, LineBreaksMayStandInsideStringsAndAroundTheValueOnly) {
    ASSERT_TRUE(json_.Parse("{\"a\":\"x\r\ny\"}"));
    EXPECT_EQ(Str(json_.GetText("a")), "x\r\ny");
    ASSERT_TRUE(json_.Parse("[\"\xD6\xD0\r\", \"\n\xD6\xD0\"]"));  // 中, after and before a character of two bytes
    EXPECT_EQ(Str(json_.GetElementText(0)), "\xD6\xD0\r");
    EXPECT_EQ(Str(json_.GetElementText(1)), "\n\xD6\xD0");
    const std::string manyBreaks(100000, '\r');
    ASSERT_TRUE(json_.Parse(("{\"a\":\"" + manyBreaks + "\"}").c_str()));
    EXPECT_EQ(Str(json_.GetText("a")), manyBreaks);
    for (const char* padded :
         {"{\"a\":\"1\"}\r\n", "\r\n{\"a\":\"1\"}", "\n\t {\"a\":\"1\"} \r\n\t", "\r\r\n\n{\"a\":\"1\"}\n\n"}) {
        ASSERT_TRUE(json_.Parse(padded)) << testing::PrintToString(padded);
        EXPECT_EQ(Str(json_.GetText("a")), "1");
    }
    for (const char* refused : {"{\"a\":1,\r\n\"b\":2}", "[1\n]", " \r\n\t", "\xEF\xBB\xBF{\"a\":1}"}) {
        EXPECT_FALSE(json_.Parse(refused)) << testing::PrintToString(refused);
        EXPECT_EQ(json_.MemberType(), kJsonMissing);  // the value is null after a failed parse
        EXPECT_EQ(json_.GetText("a").Get(), nullptr);
    }
}

TEST_F(JsonObjectTest, ParseTakesAnyJsonValueButNullAndABareString) {
    ASSERT_TRUE(json_.Parse(" [1, 2] "));
    EXPECT_EQ(Str(json_.GetElementText(0, "", true)), "1");
    EXPECT_TRUE(json_.Parse("0"));
    EXPECT_TRUE(json_.Parse("false"));
    EXPECT_FALSE(json_.Parse("null"));
    EXPECT_FALSE(json_.Parse(""));
    EXPECT_FALSE(json_.Parse(nullptr));
    EXPECT_FALSE(json_.Parse("\"text\""));
}

TEST_F(JsonObjectTest, AnswersThatAreScriptButNotJsonAreNeverEvaluated) {
    // Each would set the global `pwned` if the engine saw it. The last one is valid JSON (a
    // string), but eval would run its contents.
    const char* const hostile[] = {
        "pwned = 1",
        "(pwned = 1)",
        "{\"a\": pwned = 1}",
        "[(function(){ pwned = 1 })()]",
        "new function(){ pwned = 1 }",
        "{\"a\":1} ; pwned = 1",
        "{\"a\":1} /* x */",
        "{'a': (pwned = 1)}",
        "['x', pwned = 1]",
        "\"pwned = 1\"",
    };
    for (const char* answer : hostile) {
        EXPECT_FALSE(json_.Parse(answer)) << answer;
        EXPECT_EQ(TypeOfGlobal("pwned"), "undefined") << answer;
        EXPECT_EQ(json_.MemberType(), kJsonMissing) << answer;
    }
    // The same engine path does evaluate what passes: a member is there after a good answer.
    ASSERT_TRUE(json_.Parse("{\"pwned\":1}"));
    EXPECT_EQ(TypeOfGlobal("pwned"), "undefined");
    EXPECT_EQ(TypeOfGlobal("da.pwned"), "number");
}

TEST_F(JsonObjectTest, SetTextsComeBackUnchangedAndSerialiseWithTheirBackslashes) {
    EXPECT_FALSE(json_.SetMember("a", "c:\\d"));  // an assignment's value is no script true
    EXPECT_EQ(Str(json_.GetText("a")), "c:\\d");
    EXPECT_EQ(Str(json_.Serialize()), "{\"a\":\"c:\\d\"}");
    json_.SetMember("u", "\\u4e2d");  // already escaped JSON appears as written
    EXPECT_EQ(Str(json_.GetText("u", true)), "\"\\u4e2d\"");
    json_.SetMember("q", "it's \"quoted\"\r\nnext \xD6\xD0");
    EXPECT_EQ(Str(json_.GetText("q")), "it's \"quoted\"\r\nnext \xD6\xD0");
    EXPECT_EQ(Str(json_.GetJsonText("q")), "\"it's \\\"quoted\\\"\\r\\nnext \xD6\xD0\"");
}

TEST_F(JsonObjectTest, SerialisedJsonIsCompactWithTheDescribedEscapes) {
    json_.SetMember("c", "\x01\t\b\f");
    EXPECT_EQ(Str(json_.GetJsonText("c")), "\"\\u0001\\t\\b\\f\"");
    // Values that no JSON text gives, put there by the engine itself.
    Eval("da.d = new Date(Date.UTC(2020, 0, 2, 3, 4, 5, 678))");
    EXPECT_EQ(Str(json_.GetJsonText("d")), "\"2020-01-02T03:04:05Z\"");
    Eval("da.n = [0/0, 1/0, -1.25]");
    EXPECT_EQ(Str(json_.GetJsonText("n")), "[null,null,-1.25]");
    Eval("da.o = { \"x\" : [ 1 , { } ] , \"f\" : function(){} }");
    EXPECT_EQ(Str(json_.GetJsonText("o")), "{\"x\":[1,{}]}");
}

TEST_F(JsonObjectTest, JsonValuesAreSetOrMergedIntoExistingMembers) {
    json_.SetMember("o", "{\"x\":1,\"s\":\"old\",\"arr\":[1]}", true);
    json_.SetMember("o", "{\"y\":2,\"s\":\"new\",\"arr\":[2,3]}", true);
    EXPECT_EQ(Str(json_.GetJsonText("o")), "{\"x\":1,\"s\":\"new\",\"arr\":[1,2,3],\"y\":2}");
    json_.SetMember("e", "", true);  // an empty JSON value is {}
    EXPECT_EQ(json_.MemberType("e"), kJsonObject);
    json_.SetMemberJson("list", "[1,2,3]");
    json_.SetNumber("num", 2.5);
    EXPECT_EQ(json_.GetNumber("num"), 2.5);
    EXPECT_EQ(Str(json_.GetJsonText("list")), "[1,2,3]");
}

TEST_F(JsonObjectTest, ArraysGrowChangeAndShrinkByScriptIndex) {
    json_.AppendToArray("a", "list");  // not an array yet: made one
    json_.AppendToArray("{\"k\":1}", "list", true);
    json_.AppendToArray("b", "list");
    EXPECT_EQ(json_.ArrayLength("list"), 3);
    json_.SetElement(0, "list", "z");
    json_.SetElement(2, "list", "[true]", true);
    EXPECT_EQ(Str(json_.GetJsonText("list")), "[\"z\",{\"k\":1},[true]]");
    json_.RemoveElement(1, "list");
    EXPECT_EQ(Str(json_.GetJsonText("list")), "[\"z\",[true]]");
    EXPECT_TRUE(json_.DeleteMember("list"));
    EXPECT_EQ(json_.MemberType("list"), kJsonMissing);
}

TEST_F(JsonObjectTest, KeysValuesAndJsonTextsNeverBreakOutOfTheirStatements) {
    // Each text below would set the global `pwned` if the engine ran it as script.
    ASSERT_TRUE(json_.Parse("{\"a\":{\"b\":[1,2]},\"list\":[]}"));
    const std::string before = Str(json_.Serialize());
    const char* const keys[] = {"a; pwned = 1",
                                "a = (pwned = 1)",
                                "a[pwned = 1]",
                                "da, pwned = 1",
                                "da.a, pwned = 1",
                                "a\r\npwned = 1",
                                "a.b[0];pwned=1",
                                "a['b']",
                                "a.",
                                ".a",
                                "a..b",
                                "a[]",
                                "a[1",
                                "a b",
                                "a\xA1\xA1",
                                "a\xD6",
                                "a\xD6.b",
                                "a\x81\x3B"};
    for (const char* key : keys) {
        SCOPED_TRACE(testing::PrintToString(std::string(key)));
        OwnedText path = OwnedText::CopyOf(key);
        EXPECT_FALSE(json_.ResolvePath(path));
        EXPECT_EQ(path.Get(), nullptr);
        EXPECT_FALSE(json_.SetMember(key, "v"));
        EXPECT_FALSE(json_.SetMember(key, "{}", true));
        EXPECT_FALSE(json_.SetMemberJson(key, "1"));
        EXPECT_FALSE(json_.SetNumber(key, 1));
        EXPECT_FALSE(json_.AppendToArray("v", key));
        EXPECT_FALSE(json_.SetElement(0, key, "v"));
        EXPECT_FALSE(json_.RemoveElement(0, key));
        EXPECT_FALSE(json_.DeleteMember(key));
        EXPECT_EQ(json_.MemberType(key), kJsonOther);
        EXPECT_EQ(json_.GetText(key).Get(), nullptr);
        EXPECT_EQ(json_.GetJsonText(key).Get(), nullptr);
        EXPECT_EQ(json_.GetElementText(0, key).Get(), nullptr);
        EXPECT_EQ(json_.ArrayLength(key), 0);
        EXPECT_EQ(json_.GetNumber(key), 0.0);
        OwnedTextArray names = OwnedTextArray::NewEmpty();
        EXPECT_EQ(json_.MemberNames(names, key), 0);
        EXPECT_EQ(json_.GetObject(key).MemberType(), kJsonMissing);
        EXPECT_EQ(json_.GetElementObject(0, key).MemberType(), kJsonMissing);
        EXPECT_EQ(TypeOfGlobal("pwned"), "undefined");
        EXPECT_EQ(Str(json_.Serialize()), before);
    }

    // Texts are stored as strings whatever they hold, and come back unchanged.
    const char* const texts[] = {
        "'; pwned = 1; '", "\\'; pwned = 1; //", "\"; pwned = 1; \"", "x\r\npwned = 1", "c:\\d \xD6\xD0 'q' \\u0041",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        json_.SetMember("s", text);
        EXPECT_EQ(Str(json_.GetText("s")), text);
        json_.AppendToArray(text, "list");
        json_.SetElement(1, "a.b", text);
        EXPECT_EQ(Str(json_.GetElementText(1, "a.b")), text);
    }
    EXPECT_EQ(json_.ArrayLength("list"), static_cast<std::int32_t>(std::size(texts)));
    EXPECT_EQ(Str(json_.GetElementText(4, "list")), texts[4]);
    // A lead byte without its trail byte cannot take the closing quote with it.
    json_.SetMember("s", "\xD6");
    json_.AppendToArray("\xD6", "list");
    EXPECT_EQ(TypeOfGlobal("pwned"), "undefined");

    // JSON values are one JSON value each; where the statement evaluates them, no bare string.
    const char* const jsons[] = {"pwned = 1",
                                 "1; pwned = 1",
                                 "{\"a\":1}; pwned = 1",
                                 "[pwned = 1]",
                                 "{\"a\":1}\xD6",
                                 "(function(){ pwned = 1 })()",
                                 "{\"a\":1})+(pwned = 1"};
    for (const char* json : jsons) {
        SCOPED_TRACE(testing::PrintToString(std::string(json)));
        EXPECT_FALSE(json_.SetMember("j", json, true));
        EXPECT_FALSE(json_.SetMember("a", json, true));  // merged into a member that exists
        EXPECT_FALSE(json_.SetMemberJson("j", json));
        EXPECT_FALSE(json_.AppendToArray(json, "list", true));
        EXPECT_FALSE(json_.SetElement(0, "a.b", json, true));
        EXPECT_EQ(TypeOfGlobal("pwned"), "undefined");
    }
    EXPECT_FALSE(json_.SetMemberJson("j", "\"pwned = 1\""));  // eval would run the string
    EXPECT_FALSE(json_.SetMember("j", "\"pwned = 1\"", true));
    json_.AppendToArray("\"pwned = 1\"", "list", true);  // a literal here: stored as the string
    EXPECT_EQ(Str(json_.GetElementText(json_.ArrayLength("list") - 1, "list")), "pwned = 1");
    EXPECT_EQ(TypeOfGlobal("pwned"), "undefined");
    EXPECT_EQ(json_.MemberType("j"), kJsonMissing);
    EXPECT_EQ(Str(json_.GetJsonText("a")), "{\"b\":[1,\"c:\\d \xD6\xD0 'q' \\u0041\"]}");
}

TEST_F(JsonObjectTest, KeysMayNameMembersBeyondAscii) {
    json_.SetMember("\xD6\xD0", "{\"$x_1\":\"w\"}", true);  // 中
    json_.SetMember("\xD6\xD0.$x_1", "v");
    EXPECT_EQ(Str(json_.GetText("\xD6\xD0.$x_1")), "v");
    EXPECT_EQ(Str(json_.Serialize()), "{\"\xD6\xD0\":{\"$x_1\":\"v\"}}");
}

TEST_F(JsonObjectTest, MemberNamesListAPlainObjectsOwnMembers) {
    ASSERT_TRUE(json_.Parse("{\"b\":1,\"a\":{\"x\":1},\"c\":[]}"));
    OwnedTextArray names = OwnedTextArray::NewEmpty();
    names.Append(OwnedText::CopyOf("stale"));
    ASSERT_EQ(json_.MemberNames(names), 3);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_STREQ(names.At(1), "b");
    EXPECT_STREQ(names.At(2), "a");
    EXPECT_STREQ(names.At(3), "c");
    EXPECT_EQ(json_.MemberNames(names, "c"), 0);  // an array is no plain object
    EXPECT_EQ(names.size(), 0u);
}

TEST_F(JsonObjectTest, KeysResolveToPathsBelowTheVariable) {
    ASSERT_TRUE(json_.Parse("{\"dom\":1,\"a\":{\"b\":[0,0,5]},\"x\":2}"));
    const auto resolve = [&](const char* key) {
        OwnedText path = OwnedText::CopyOf(key);
        const bool found = json_.ResolvePath(path);
        return std::make_pair(Str(path), found);
    };
    EXPECT_EQ(resolve("dom"), std::make_pair(std::string("da.dom"), true));
    EXPECT_EQ(resolve("a.b[2]"), std::make_pair(std::string("da.a.b[2]"), true));
    EXPECT_EQ(resolve(""), std::make_pair(std::string("da"), true));
    EXPECT_EQ(resolve("da.x"), std::make_pair(std::string("da.x"), true));  // already a path
    EXPECT_EQ(resolve("daily"), std::make_pair(std::string("da.daily"), false));
    EXPECT_EQ(resolve("da.none"), std::make_pair(std::string("da.da.none"), false));
    ASSERT_TRUE(json_.Parse("[7,8]"));
    EXPECT_EQ(resolve("[1]"), std::make_pair(std::string("da[1]"), true));
}

TEST_F(JsonObjectTest, GetObjectCopiesANestedValueIntoAnObjectOfItsOwn) {
    ASSERT_TRUE(json_.Parse(kAnswer));
    JsonObject inner = json_.GetObject("obj.a");
    EXPECT_STREQ(inner.VariableName(), "da");
    EXPECT_EQ(Str(inner.GetJsonText("b")), "[10,20,30]");
    inner.SetMember("b", "changed");
    EXPECT_EQ(Str(json_.GetJsonText("obj.a.b")), "[10,20,30]");  // its own engine
    JsonObject element = json_.GetElementObject(2, "arr");
    EXPECT_EQ(element.MemberType("k"), kJsonBoolean);
    // A string member is no object: its JSON is a bare string, which is not evaluated.
    JsonObject text = json_.GetObject("dom");
    EXPECT_EQ(text.MemberType(), kJsonMissing);
}

TEST_F(JsonObjectTest, ACopySharesTheEngine) {
    ASSERT_TRUE(json_.Parse("{\"a\":\"1\"}"));
    JsonObject copy = json_.Copy();
    copy.SetMember("a", "2");
    EXPECT_EQ(Str(json_.GetText("a")), "2");
    json_.Clear();
    EXPECT_EQ(copy.MemberType("a"), kJsonMissing);
    OwnedAutomationObject engine = copy.Engine();
    EXPECT_FALSE(IsObjectEmpty(*engine));
}

TEST_F(JsonObjectTest, EveryParseStartsInAFreshEngineWhoeverUsedItBefore) {
    // A new object's engine is reused by its first parse only while nothing else ran in it.
    {
        OwnedAutomationObject engine = json_.Engine();
        CallMethod(*engine, "Eval", {TypedArg::TextArg("var leftover = 1")});
    }
    ASSERT_TRUE(json_.Parse(kAnswer));
    EXPECT_EQ(TypeOfGlobal("leftover"), "undefined");

    JsonObject other;
    JsonObject copy = other.Copy();
    copy.SetMember("stale", "1");
    ASSERT_TRUE(other.Parse("{\"a\":1}"));
    EXPECT_EQ(other.MemberType("stale"), kJsonMissing);
    EXPECT_EQ(copy.MemberType("stale"), kJsonString);  // the copy keeps the engine it shared
}

TEST_F(JsonObjectTest, JsonFunctionsAreThereWheneverAStatementOrTheCallerNeedsThem) {
    ASSERT_TRUE(json_.Parse(kAnswer));
    EXPECT_EQ(Str(json_.GetText("arr", true)), "[1,\"x\",{\"k\":true}]");
    JsonObject fresh;
    EXPECT_EQ(Str(fresh.Serialize()), "{}");
    JsonObject parsed;
    ASSERT_TRUE(parsed.Parse(kAnswer));
    EXPECT_EQ(Str(parsed.GetElementText(2, "arr", true)), "{\"k\":true}");
    EXPECT_EQ(parsed.GetObject("obj").ArrayLength("a.b"), 3);
    JsonObject handedOut;
    OwnedAutomationObject engine = handedOut.Engine();
    EXPECT_EQ(Str(CallMethod<OwnedText>(*engine, "Eval", {TypedArg::TextArg("typeof JSON.stringify")})), "function");
}

TEST(JsonObjectCom, LeavesTheThreadsComStateAsItFoundIt) {
    {
        JsonObject json;
        ASSERT_TRUE(json.Parse("{\"a\":{\"b\":1}}"));
        ASSERT_TRUE(json.Parse("[1]"));
        JsonObject copy = json.Copy();
        JsonObject nested = json.GetObject("[0]");
    }
    const HRESULT first = ::CoInitialize(nullptr);
    EXPECT_EQ(first, S_OK);  // S_FALSE would mean an initialisation was left behind
    if (SUCCEEDED(first)) ::CoUninitialize();
}

}  // namespace
}  // namespace quenlark
