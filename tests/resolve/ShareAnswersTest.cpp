// The resolver's reading of the service's answers, without the exchanges: page texts, frame
// sources, the signing values and the form body they make, the answer's text and the link.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "resolve/ShareAnswers.h"
#include "runtime/Texts.h"

namespace quenlark {
namespace {

std::string S(const OwnedText& t) { return t.c_str(); }

OwnedByteSet Body(std::string_view bytes) { return OwnedByteSet::CopyOf(bytes.data(), bytes.size()); }

TEST(PageTextOfBody, ReadsUtf8UpToTheFirstNulAsCodePage936) {
    // 季度 in UTF-8 (E5 AD A3 E5 BA A6) is BC BE B6 C8 in code page 936.
    EXPECT_EQ(S(PageTextOfBody(Body("a\xE5\xAD\xA3\xE5\xBA\xA6z"))), "a\xBC\xBE\xB6\xC8z");
    EXPECT_EQ(S(PageTextOfBody(Body(std::string_view("ab\0cd", 5)))), "ab");
    EXPECT_TRUE(PageTextOfBody(Body(std::string_view("\0x", 2))).empty());
    EXPECT_TRUE(PageTextOfBody(OwnedByteSet()).empty());
}

TEST(ReadSignValues, TakesTheFirstMarkerPairThatGivesALongEnoughSign) {
    SignValues v = ReadSignValues("var PDOWNLOAD = 'UDAHaVg2AjsBNwUzAT';\nvar ajaxdata = '?ctdf';");
    ASSERT_TRUE(v.found);
    EXPECT_EQ(v.sign, "UDAHaVg2AjsBNwUzAT");
    EXPECT_TRUE(v.signs.empty());
    EXPECT_EQ(S(FormBody(v)), "action=downprocess&sign=UDAHaVg2AjsBNwUzAT&ves=1");

    v = ReadSignValues("var pdownload = 'short';\nvar ajaxdata = 'AjQBbVQ4ADYFMA';");
    ASSERT_TRUE(v.found);
    EXPECT_EQ(v.sign, "AjQBbVQ4ADYFMA");
}

TEST(ReadSignValues, AShortAjaxdataGoesAlongAsSignsWithTheWebsign) {
    const char* page =
        "var ajaxdata = '?ctdf';\ndata : { 'signs':ajaxdata,'sign':'VjEFbgk_Bm9WZlc3AzQ','ves':1,"
        "'websign':'7' },";
    const SignValues v = ReadSignValues(page);
    ASSERT_TRUE(v.found);
    EXPECT_EQ(v.signs, "?ctdf");
    EXPECT_EQ(v.websign, "7");
    EXPECT_EQ(S(FormBody(v)), "action=downprocess&signs=?ctdf&&sign=VjEFbgk_Bm9WZlc3AzQ&ves=1&websign=7");

    // Blank (ASCII and ideographic spaces, A1 A1): the short form.
    const SignValues blank =
        ReadSignValues("var ajaxdata = ' \xA1\xA1 ';\n'signs':ajaxdata,'sign':'VjEFbgk_Bm9WZlc3AzQ','ves'");
    ASSERT_TRUE(blank.found);
    EXPECT_EQ(S(FormBody(blank)), "action=downprocess&sign=VjEFbgk_Bm9WZlc3AzQ&ves=1");
}

TEST(ReadSignValues, NoSignOfTenBytesIsNoSign) {
    EXPECT_FALSE(ReadSignValues("var pdownload = '123456789';").found);
    EXPECT_FALSE(ReadSignValues("").found);
    EXPECT_FALSE(ReadSignValues(nullptr).found);
    EXPECT_TRUE(ReadSignValues("var pdownload = '1234567890';").found);
}

TEST(IsServicePath, TakesOnlyPathsOnTheOriginOfPrintableAscii) {
    for (const std::string_view path : {"/fn?AjQBbVQ4ADYFMA", "/", "/a b", "/a\\b", "/a//b", "/@x", "/ ~"}) {
        EXPECT_TRUE(IsServicePath(path)) << path;
    }
    for (const std::string_view source :
         {"", "@127.0.0.1:9/x", "//127.0.0.1:9/x", "/\\127.0.0.1:9/x", "https://x.test/x", "1/x", "fn?x", " /x", "\\x",
          "/x\ny", "/x\ry", "/x\ty", "/x\x01", "/x\x1F", "/x\x7F", "/x\x80", "/\xC9\xCF", "/x\xFF"}) {
        EXPECT_FALSE(IsServicePath(source)) << testing::PrintToString(source);
    }
    EXPECT_FALSE(IsServicePath(std::string_view("/x\0y", 4)));
}

TEST(AnswerTextOfBody, DropsAByteOrderMarkAtTheStartOnly) {
    EXPECT_EQ(S(AnswerTextOfBody(Body("\xEF\xBB\xBF{\"a\":1}\r\n"))), "{\"a\":1}\r\n");
    EXPECT_EQ(S(AnswerTextOfBody(Body("\r\n\xEF\xBB\xBF{}"))), "\r\n\xEF\xBB\xBF{}");
    EXPECT_EQ(S(AnswerTextOfBody(Body("\xEF\xBB{}"))), "\xEF\xBB{}");
    EXPECT_EQ(S(AnswerTextOfBody(Body(std::string_view("{}\0{}", 5)))), "{}");
    EXPECT_TRUE(AnswerTextOfBody(Body("\xEF\xBB\xBF")).empty());
    EXPECT_TRUE(AnswerTextOfBody(OwnedByteSet()).empty());
}

TEST(LinkOfAnswer, JoinsDomAndUrlOnlyWhenTheAnswerParsedAndNamesADom) {
    EXPECT_EQ(S(LinkOfAnswer(true, "https://dl.test/", "?x")), "https://dl.test//file/?x");
    EXPECT_EQ(S(LinkOfAnswer(true, "https://dl.test", nullptr)), "https://dl.test/file/");
    EXPECT_EQ(S(LinkOfAnswer(true, nullptr, "?x")), "");
    EXPECT_EQ(S(LinkOfAnswer(true, "", "?x")), "");
    EXPECT_EQ(S(LinkOfAnswer(false, "https://dl.test", "?x")), "");
}

}  // namespace
}  // namespace quenlark
