#include <gtest/gtest.h>

#include "http/CharsetLabels.h"

namespace quenlark {
namespace {

TEST(CharsetLabels, LabelsMatchWithoutCaseAndUnknownNamesHaveNoCodePage) {
    EXPECT_EQ(CodePageOfCharset("utf-8"), 65001u);
    EXPECT_EQ(CodePageOfCharset("UTF8"), 65001u);
    EXPECT_EQ(CodePageOfCharset("GB2312"), 936u);
    EXPECT_EQ(CodePageOfCharset("x-sjis"), 932u);
    EXPECT_EQ(CodePageOfCharset("Latin1"), 1252u);  // as browsers read it
    EXPECT_EQ(CodePageOfCharset("utf-16"), kCodePageUtf16Le);
    EXPECT_FALSE(CodePageOfCharset("utf-8 ").has_value());
    EXPECT_FALSE(CodePageOfCharset("iso-8859-10").has_value());  // no system table
    EXPECT_FALSE(CodePageOfCharset("").has_value());
}

TEST(CharsetLabels, AUtf16LabelInAMetaTagMeansUtf8) {
    for (const char* label : {"utf-16", "UTF-16LE", "utf-16be", "unicodefffe", "ucs-2"}) {
        EXPECT_EQ(CodePageOfMetaCharset(label), 65001u) << label;
    }
    EXPECT_EQ(CodePageOfMetaCharset("gb2312"), 936u);
    EXPECT_FALSE(CodePageOfMetaCharset("no-such-set").has_value());
}

}  // namespace
}  // namespace quenlark
