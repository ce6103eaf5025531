// The regex object over the system's "VBScript.RegExp".
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <string>

#include "script/RegexObject.h"

namespace quenlark {
namespace {

std::string Str(const OwnedText& text) { return std::string(text.view()); }

RegexOptions Options(bool caseSensitive, bool multiline, bool global) {
    RegexOptions options;
    options.caseSensitive = caseSensitive;
    options.multiline = multiline;
    options.global = global;
    return options;
}

TEST(RegexObject, RunsThePatternOnceAndAnswersFromTheMatches) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("(\\w+)@(\\w+)\\.test", "ann@one.test, bob@two.test"));
    EXPECT_EQ(regex.MatchCount(), 2);
    EXPECT_EQ(Str(regex.MatchText(1)), "ann@one.test");
    EXPECT_EQ(Str(regex.MatchText(2)), "bob@two.test");
    EXPECT_EQ(Str(regex.SubMatchText(2, 1)), "bob");
    EXPECT_EQ(Str(regex.SubMatchText(2, 2)), "two");
    EXPECT_EQ(regex.SubMatchCount(), 2);
    EXPECT_EQ(Str(regex.GetPattern()), "(\\w+)@(\\w+)\\.test");
    // Outside the collection, and index 0 (item -1 for the engine): empty.
    EXPECT_EQ(regex.MatchText(3).Get(), nullptr);
    EXPECT_EQ(regex.MatchText(0).Get(), nullptr);
    EXPECT_EQ(regex.SubMatchText(1, 3).Get(), nullptr);

    // The same engine over another subject: its pattern and options, the new subject's matches.
    ASSERT_TRUE(regex.Execute("x CAT@THREE.TEST"));
    EXPECT_EQ(regex.MatchCount(), 1);
    std::int32_t position = 0;
    EXPECT_EQ(Str(regex.MatchText(1, &position)), "CAT@THREE.TEST");
    EXPECT_EQ(position, 2);
    EXPECT_EQ(Str(regex.SubMatchText(1, 2)), "THREE");
    EXPECT_EQ(Str(regex.GetPattern()), "(\\w+)@(\\w+)\\.test");
}

TEST(RegexObject, OptionsDefaultToIgnoreCaseMultilineAndGlobal) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("^b", "A\nB\nb"));
    EXPECT_EQ(regex.MatchCount(), 2);  // both lines, either case
    ASSERT_TRUE(regex.Create("^b", "A\nB\nb", Options(true, true, true)));
    EXPECT_EQ(regex.MatchCount(), 1);
    ASSERT_TRUE(regex.Create("^b", "A\nB\nb", Options(false, false, true)));
    EXPECT_EQ(regex.MatchCount(), 0);
    ASSERT_TRUE(regex.Create("b", "A\nB\nb", Options(false, true, false)));
    EXPECT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(Str(regex.MatchText(1)), "B");
}

TEST(RegexObject, ThePlaceholderStandsForADoubleQuote) {
    const char page[] = "<iframe class=\"f\" src=\"/fn?Ab12\" frameborder=\"0\">";
    RegexOptions options;
    options.quotePlaceholder = true;
    RegexObject regex;
    ASSERT_TRUE(regex.Create("src=#引号(.*?)#引号", page, options));
    EXPECT_EQ(Str(regex.SubMatchText(1, 1)), "/fn?Ab12");
    EXPECT_EQ(Str(regex.GetPattern()), "src=\"(.*?)\"");
    // Without the option the marker is taken as it stands.
    ASSERT_TRUE(regex.Create("src=#引号(.*?)#引号", page));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(Str(regex.GetPattern()), "src=#\xD2\xFD\xBA\xC5(.*?)#\xD2\xFD\xBA\xC5");  // #引号
}

TEST(RegexObject, ARejectedPatternGivesFalseAndEmptyAnswers) {
    RegexObject regex;
    EXPECT_FALSE(regex.Create("a(b", "ab"));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.SubMatchCount(), 0);
    std::int32_t position = 7;
    EXPECT_EQ(regex.MatchText(1, &position).Get(), nullptr);
    EXPECT_EQ(position, -2);
    EXPECT_EQ(regex.SubMatchText(1, 1, &position).Get(), nullptr);
    EXPECT_EQ(position, -2);
    EXPECT_EQ(regex.ReplaceMatches("x").Get(), nullptr);
    EXPECT_FALSE(regex.Execute("ab"));
    EXPECT_EQ(regex.MatchCount(), 0);
}

TEST(RegexObject, APatternThatMatchesNothingStillRuns) {
    RegexObject regex;
    EXPECT_TRUE(regex.Create("z+", "abc"));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.MatchText(1).Get(), nullptr);
    EXPECT_EQ(regex.SubMatchCount(), 0);
    // A fresh instance has neither engine nor matches.
    RegexObject fresh;
    EXPECT_EQ(fresh.GetPattern().Get(), nullptr);
    EXPECT_EQ(fresh.MatchCount(), 0);
    EXPECT_FALSE(fresh.Execute("abc"));
}

TEST(RegexObject, PositionsAreByteOffsetsInTheCodePage936Subject) {
    RegexObject regex;
    std::int32_t position = 0;
    ASSERT_TRUE(regex.Create("a",
                             "\xD6\xD0\xCE\xC4"
                             "a"));  // 中文a: FirstIndex 2, byte 4
    EXPECT_EQ(Str(regex.MatchText(1, &position)), "a");
    EXPECT_EQ(position, 4);

    // The second of two equal matches is found where it is, not at the first.
    ASSERT_TRUE(regex.Create("a",
                             "\xD6\xD0"
                             "a"
                             "\xD6\xD0"
                             "a"));  // 中a中a
    EXPECT_EQ(Str(regex.MatchText(2, &position)), "a");
    EXPECT_EQ(position, 5);
    EXPECT_EQ(Str(regex.MatchText(1, &position)), "a");
    EXPECT_EQ(position, 2);

    // A group's text is sought from its match's start: the a of xa, not the one before it.
    ASSERT_TRUE(regex.Create("x(a)",
                             "\xD6\xD0"
                             "axa"));  // 中axa
    EXPECT_EQ(Str(regex.SubMatchText(1, 1, &position)), "a");
    EXPECT_EQ(position, 4);
    EXPECT_EQ(Str(regex.MatchText(1, &position)), "xa");
    EXPECT_EQ(position, 3);
}

TEST(RegexObject, AGroupThatTookNoPartIsEmpty) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("(x)?(a)", "ba"));
    EXPECT_EQ(regex.SubMatchText(1, 1).Get(), nullptr);
    EXPECT_EQ(Str(regex.SubMatchText(1, 2)), "a");
    EXPECT_EQ(regex.SubMatchCount(), 2);
}

TEST(RegexObject, SubMatchCountDescribesTheFirstMatch) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("(a)(b)?", "a ab a"));
    EXPECT_EQ(regex.MatchCount(), 3);
    EXPECT_EQ(regex.SubMatchCount(), 2);
}

TEST(RegexObject, ReplacesMatchesInTheEnginesSyntax) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("(\\d+)", "a1b22\xD6\xD0"));
    EXPECT_EQ(Str(regex.ReplaceMatches("<$1>")), "a<1>b<22>\xD6\xD0");
    EXPECT_EQ(Str(regex.ReplaceMatches("\xCE\xC4")),
              "a\xCE\xC4"
              "b\xCE\xC4\xD6\xD0");  // 文
    ASSERT_TRUE(regex.Create("(\\d+)", "a1b22", Options(false, true, false)));
    EXPECT_EQ(Str(regex.ReplaceMatches("#")), "a#b22");
}

TEST(RegexObject, ACopySharesTheRunAndOutlivesItsSource) {
    RegexObject copy = [] {
        RegexObject source;
        EXPECT_TRUE(source.Create("b(.)", "abcbd"));
        RegexObject made = source.Copy();
        EXPECT_TRUE(source.Create("z", "z"));  // the source moves on; the copy keeps the old run
        return made;
    }();
    EXPECT_EQ(copy.MatchCount(), 2);
    EXPECT_EQ(Str(copy.SubMatchText(2, 1)), "d");
    EXPECT_EQ(Str(copy.GetPattern()), "b(.)");
}

TEST(RegexObject, LeavesTheThreadsComStateAsItFoundIt) {
    {
        RegexObject regex;
        ASSERT_TRUE(regex.Create("a", "a"));
        RegexObject copy = regex.Copy();
        ASSERT_TRUE(regex.Create("b", "b"));
    }
    const HRESULT first = ::CoInitialize(nullptr);
    EXPECT_EQ(first, S_OK);  // S_FALSE would mean an initialisation was left behind
    if (SUCCEEDED(first)) ::CoUninitialize();
}

}  // namespace
}  // namespace quenlark
