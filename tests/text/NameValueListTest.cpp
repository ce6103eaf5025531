#include <gtest/gtest.h>

#include <string>

#include "text/NameValueList.h"

#include "text/UrlEncoding.h"
namespace quenlark {
namespace {

std::string S(const OwnedText& t) { return t.c_str(); }

TEST(NameValueList, HeaderTextJoinsLinesWithoutTrailingLineEnd) {
    NameValueList list;
    EXPECT_EQ(S(list.ToHeaderText()), "");
    list.Add("User-Agent", "Agent/1.0");
    EXPECT_EQ(S(list.ToHeaderText()), "User-Agent: Agent/1.0");
    list.Add("Referer", "https://share.example.test/fn?x");
    EXPECT_EQ(S(list.ToHeaderText()), "User-Agent: Agent/1.0\r\nReferer: https://share.example.test/fn?x");
    EXPECT_EQ(S(list.ToHeaderText(true)),
              "User-Agent: Agent%2F1.0\r\nReferer: https%3A%2F%2Fshare.example.test%2Ffn%3Fx");
}

TEST(NameValueList, RepeatedNamesKeepBothAndTheFirstWins) {
    NameValueList list;
    list.Add("k", "1");
    list.Add("k", "2");
    EXPECT_EQ(S(list.GetValue("k")), "1");
    list.SetValue("k", "one");
    EXPECT_EQ(S(list.ToFormText()), "k=one&k=2");
    list.Remove("k");
    EXPECT_EQ(S(list.ToFormText()), "k=2");
    list.Remove("absent");
    EXPECT_EQ(S(list.ToFormText()), "k=2");
    EXPECT_EQ(list.GetValue("K").Get(), kEmptyText);  // exact comparison
    list.SetValue("new", "v");
    EXPECT_EQ(S(list.ToFormText()), "k=2&new=v");
}

TEST(NameValueList, FormTextPiecesSplitAtTheirFirstAndLastEqualsSign) {
    NameValueList list;
    list.AddFormText("a=1&b=2&plain&x=y=z&&");
    OwnedTextArray names;
    OwnedTextArray values;
    list.GetNames(names);
    list.GetValues(values);
    ASSERT_EQ(names.size(), 5u);  // the empty piece between the last two "&" stays; the trailing one adds none
    EXPECT_STREQ(names.At(1), "a");
    EXPECT_STREQ(values.At(2), "2");
    EXPECT_EQ(names.At(3), nullptr);
    EXPECT_EQ(values.At(3), nullptr);
    EXPECT_STREQ(names.At(4), "x");
    EXPECT_STREQ(values.At(4), "z");
    EXPECT_EQ(names.At(5), nullptr);
}

TEST(NameValueList, EscapedFormTextKeepsOnlyUnreservedBytes) {
    NameValueList list;
    list.Add("q", "a b~c-d.e_f/\xD6\xD0");
    EXPECT_EQ(S(list.ToFormText(true)), "q=a%20b%7Ec-d.e%5Ff%2F%D6%D0");
    list.Clear();
    EXPECT_EQ(S(list.ToFormText(true)), "");
    list.Add("after", "clear");  // the shared empty array is copied before it grows
    EXPECT_EQ(S(list.ToFormText()), "after=clear");
}

TEST(NameValueList, JsonTextEscapesQuotesInValuesOnly) {
    NameValueList list;
    EXPECT_EQ(S(list.ToJsonText()), "{}");
    list.Add("say", "he said \"hi\"");
    list.Add("n", "1");
    EXPECT_EQ(S(list.ToJsonText()), "{\"say\":\"he said \\\"hi\\\"\",\"n\":\"1\"}");
}

TEST(NameValueList, CopyIsDeepAndUtf8OptionConverts) {
    NameValueList list;
    list.Add("\xD6\xD0", "\xCE\xC4", true);  // 中, 文
    NameValueList copy = list.Copy();
    list.Clear();
    EXPECT_EQ(S(copy.ToFormText()), "\xE4\xB8\xAD=\xE6\x96\x87");
}

TEST(NameValueList, TrimEndsCutsThePieceFromBothEndsInPlace) {
    OwnedText text = OwnedText::CopyOf(",x,");
    EXPECT_EQ(S(NameValueList::TrimEnds(text, ",")), "x");
    EXPECT_EQ(S(text), "x");
    OwnedText one = OwnedText::CopyOf("x,");
    EXPECT_EQ(S(NameValueList::TrimEnds(one, ",")), "x");
    OwnedText same = OwnedText::CopyOf("x");
    EXPECT_EQ(S(NameValueList::TrimEnds(same, "")), "x");
}

TEST(UrlEncode, EveryByteUnlessUnreservedAreKept) {
    EXPECT_EQ(S(UrlEncode("a-1")), "%61%2D%31");
    EXPECT_EQ(S(UrlEncode("a-1", true)), "a-1");
    EXPECT_EQ(S(UrlEncode("\xD6\xD0", true, true)), "%E4%B8%AD");
    EXPECT_EQ(UrlEncode("", true).Get(), nullptr);
}

}  // namespace
}  // namespace quenlark
