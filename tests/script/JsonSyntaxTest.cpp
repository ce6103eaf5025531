// The JSON check that guards evaluation: JSON texts pass with their kind, script does not.
#include <gtest/gtest.h>

#include <string>

#include "script/JsonSyntax.h"

namespace quenlark {
namespace {

bool IsJson(std::u16string_view text) { return CheckJsonText(text).has_value(); }

TEST(CheckJsonText, AcceptsJsonTextsAndNamesTheTopLevelKind) {
    EXPECT_EQ(CheckJsonText(u"{\"dom\":\"https:\\/\\/a.example\",\"url\":\"x\",\"n\":[1,-2.5e+3,0,true,null]}"),
              JsonValueKind::Object);
    EXPECT_EQ(CheckJsonText(u" \t\r\n[ {} , [] , \"\" ] \n"), JsonValueKind::Array);
    EXPECT_EQ(CheckJsonText(u"\"text\""), JsonValueKind::String);
    EXPECT_EQ(CheckJsonText(u"-0.5E-7"), JsonValueKind::Number);
    EXPECT_EQ(CheckJsonText(u"false"), JsonValueKind::Literal);
    EXPECT_EQ(CheckJsonText(u"null"), JsonValueKind::Literal);
    // Every escape, and any character outside ASCII as it stands.
    EXPECT_TRUE(IsJson(u"\"\\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u4e2D \u4e2d\u6587 \u2028\""));
    EXPECT_TRUE(IsJson(u"{\"a\" : { \"b\" : [ 1 , 2 ] } , \"a\" : 3}"));  // repeated names are JSON too
}

TEST(CheckJsonText, RefusesScriptThatIsNotJson) {
    const char16_t* const scripts[] = {
        u"f()",
        u"{\"a\":f()}",
        u"new Date()",
        u"[new ActiveXObject(\"x\")]",
        u"{\"a\":1}/*comment*/",
        u"// comment\n{}",
        u"'single'",
        u"{'a':1}",
        u"{a:1}",
        u"[1,2,]",
        u"{\"a\":1,}",
        u"[1 2]",
        u"{} {}",
        u"1;2",
        u"da = 5",
        u"(1)",
        u"[x]",
        u"NaN",
        u"Infinity",
        u"undefined",
        u"[void 0]",
        u"-",
        u"tru",
        u"nulls",
    };
    for (const char16_t* script : scripts) {
        EXPECT_FALSE(IsJson(script)) << std::string(script, script + std::char_traits<char16_t>::length(script));
    }
}

TEST(CheckJsonText, RefusesMalformedNumbersStringsAndEmptyTexts) {
    for (const char16_t* text : {u"", u"  ", u"01", u"1.", u".5", u"+1", u"1e", u"1e+", u"0x10", u"- 1", u"1.5.2"}) {
        EXPECT_FALSE(IsJson(text));
    }
    EXPECT_FALSE(IsJson(u"\"unterminated"));
    EXPECT_FALSE(IsJson(u"\"bad \\x41 escape\""));
    EXPECT_FALSE(IsJson(u"\"bad \\u12G4 escape\""));
    EXPECT_FALSE(IsJson(u"\"short \\u12\""));
    EXPECT_FALSE(IsJson(u"\"ends in \\"));
    EXPECT_FALSE(IsJson(u"\"raw\ttab\""));
    EXPECT_FALSE(IsJson(u"\"raw\nline\""));
    EXPECT_FALSE(IsJson(std::u16string_view(u"\"a\0b\"", 5)));
    // Only the four whitespace characters of JSON separate tokens.
    EXPECT_FALSE(IsJson(u"\u00a0{}"));
    EXPECT_FALSE(IsJson(u"\ufeff{}"));
    // A line break written as an escape outside a string, as a text reads after its raw line
    // breaks were turned into escapes.
    EXPECT_FALSE(IsJson(u"{\"a\":1,\\r\\n\"b\":2}"));
}

TEST(CheckJsonText, RefusesNestingDeeperThanTheLimit) {
    const std::u16string deepest = std::u16string(kMaxJsonDepth, u'[') + std::u16string(kMaxJsonDepth, u']');
    EXPECT_EQ(CheckJsonText(deepest), JsonValueKind::Array);
    const std::u16string tooDeep = u"[" + deepest + u"]";
    EXPECT_FALSE(IsJson(tooDeep));
    std::u16string objects = u"1";
    for (std::size_t i = 0; i < kMaxJsonDepth; ++i) objects = u"{\"a\":" + objects + u"}";
    EXPECT_EQ(CheckJsonText(objects), JsonValueKind::Object);
    EXPECT_FALSE(IsJson(u"[" + objects + u"]"));
    // Far deeper than any stack would take; refused without descending.
    EXPECT_FALSE(IsJson(std::u16string(1000000, u'[')));
}

}  // namespace
}  // namespace quenlark
