#include "http/CharsetLabels.h"

#include <cstddef>

namespace quenlark {

namespace {

struct Label {
    std::string_view name;
    std::uint32_t codePage;
};

// The labels stay grouped by script, several to a line.
// clang-format off
constexpr Label kLabels[] = {
    // UTF-8
    {"unicode-1-1-utf-8", 65001}, {"unicode11utf8", 65001}, {"unicode20utf8", 65001}, {"utf-8", 65001},
    {"utf8", 65001}, {"x-unicode20utf8", 65001},
    // Chinese
    {"chinese", 936}, {"csgb2312", 936}, {"csiso58gb231280", 936}, {"gb2312", 936}, {"gb_2312", 936},
    {"gb_2312-80", 936}, {"gbk", 936}, {"iso-ir-58", 936}, {"x-gbk", 936},
    {"gb18030", kCodePageGb18030},
    {"big5", 950}, {"big5-hkscs", 950}, {"cn-big5", 950}, {"csbig5", 950}, {"x-x-big5", 950},
    // Japanese
    {"csshiftjis", 932}, {"ms932", 932}, {"ms_kanji", 932}, {"shift-jis", 932}, {"shift_jis", 932},
    {"sjis", 932}, {"windows-31j", 932}, {"x-sjis", 932},
    {"cseucpkdfmtjapanese", 20932}, {"euc-jp", 20932}, {"x-euc-jp", 20932},
    {"csiso2022jp", 50220}, {"iso-2022-jp", 50220},
    // Korean
    {"cseuckr", 949}, {"csksc56011987", 949}, {"euc-kr", 949}, {"iso-ir-149", 949}, {"korean", 949},
    {"ks_c_5601-1987", 949}, {"ks_c_5601-1989", 949}, {"ksc5601", 949}, {"ksc_5601", 949}, {"windows-949", 949},
    // Cyrillic
    {"866", 866}, {"cp866", 866}, {"csibm866", 866}, {"ibm866", 866},
    {"cskoi8r", 20866}, {"koi", 20866}, {"koi8", 20866}, {"koi8-r", 20866}, {"koi8_r", 20866},
    {"koi8-ru", 21866}, {"koi8-u", 21866},
    {"x-mac-cyrillic", 10007}, {"x-mac-ukrainian", 10007},
    // ISO 8859
    {"csisolatin2", 28592}, {"iso-8859-2", 28592}, {"iso-ir-101", 28592}, {"iso8859-2", 28592},
    {"iso88592", 28592}, {"iso_8859-2", 28592}, {"iso_8859-2:1987", 28592}, {"l2", 28592}, {"latin2", 28592},
    {"csisolatin3", 28593}, {"iso-8859-3", 28593}, {"iso-ir-109", 28593}, {"iso8859-3", 28593},
    {"iso88593", 28593}, {"iso_8859-3", 28593}, {"iso_8859-3:1988", 28593}, {"l3", 28593}, {"latin3", 28593},
    {"csisolatin4", 28594}, {"iso-8859-4", 28594}, {"iso-ir-110", 28594}, {"iso8859-4", 28594},
    {"iso88594", 28594}, {"iso_8859-4", 28594}, {"iso_8859-4:1988", 28594}, {"l4", 28594}, {"latin4", 28594},
    {"csisolatincyrillic", 28595}, {"cyrillic", 28595}, {"iso-8859-5", 28595}, {"iso-ir-144", 28595},
    {"iso8859-5", 28595}, {"iso88595", 28595}, {"iso_8859-5", 28595}, {"iso_8859-5:1988", 28595},
    {"arabic", 28596}, {"asmo-708", 28596}, {"csiso88596e", 28596}, {"csiso88596i", 28596},
    {"csisolatinarabic", 28596}, {"ecma-114", 28596}, {"iso-8859-6", 28596}, {"iso-8859-6-e", 28596},
    {"iso-8859-6-i", 28596}, {"iso-ir-127", 28596}, {"iso8859-6", 28596}, {"iso88596", 28596},
    {"iso_8859-6", 28596}, {"iso_8859-6:1987", 28596},
    {"csisolatingreek", 28597}, {"ecma-118", 28597}, {"elot_928", 28597}, {"greek", 28597}, {"greek8", 28597},
    {"iso-8859-7", 28597}, {"iso-ir-126", 28597}, {"iso8859-7", 28597}, {"iso88597", 28597},
    {"iso_8859-7", 28597}, {"iso_8859-7:1987", 28597}, {"sun_eu_greek", 28597},
    {"csiso88598e", 28598}, {"csisolatinhebrew", 28598}, {"hebrew", 28598}, {"iso-8859-8", 28598},
    {"iso-8859-8-e", 28598}, {"iso-ir-138", 28598}, {"iso8859-8", 28598}, {"iso88598", 28598},
    {"iso_8859-8", 28598}, {"iso_8859-8:1988", 28598}, {"visual", 28598},
    {"csiso88598i", kCodePageHebrewLogical}, {"iso-8859-8-i", kCodePageHebrewLogical}, {"logical", kCodePageHebrewLogical},
    {"iso-8859-13", 28603}, {"iso8859-13", 28603}, {"iso885913", 28603},
    {"csisolatin9", 28605}, {"iso-8859-15", 28605}, {"iso8859-15", 28605}, {"iso885915", 28605},
    {"iso_8859-15", 28605}, {"l9", 28605},
    // Windows and DOS code pages
    {"dos-874", 874}, {"iso-8859-11", 874}, {"iso8859-11", 874}, {"iso885911", 874}, {"tis-620", 874},
    {"windows-874", 874},
    {"cp1250", 1250}, {"windows-1250", 1250}, {"x-cp1250", 1250},
    {"cp1251", 1251}, {"windows-1251", 1251}, {"x-cp1251", 1251},
    {"ansi_x3.4-1968", 1252}, {"ascii", 1252}, {"cp1252", 1252}, {"cp819", 1252}, {"csisolatin1", 1252},
    {"ibm819", 1252}, {"iso-8859-1", 1252}, {"iso-ir-100", 1252}, {"iso8859-1", 1252}, {"iso88591", 1252},
    {"iso_8859-1", 1252}, {"iso_8859-1:1987", 1252}, {"l1", 1252}, {"latin1", 1252}, {"us-ascii", 1252},
    {"windows-1252", 1252}, {"x-cp1252", 1252},
    {"cp1253", 1253}, {"windows-1253", 1253}, {"x-cp1253", 1253},
    {"cp1254", 1254}, {"csisolatin5", 1254}, {"iso-8859-9", 1254}, {"iso-ir-148", 1254}, {"iso8859-9", 1254},
    {"iso88599", 1254}, {"iso_8859-9", 1254}, {"iso_8859-9:1989", 1254}, {"l5", 1254}, {"latin5", 1254},
    {"windows-1254", 1254}, {"x-cp1254", 1254},
    {"cp1255", 1255}, {"windows-1255", 1255}, {"x-cp1255", 1255},
    {"cp1256", 1256}, {"windows-1256", 1256}, {"x-cp1256", 1256},
    {"cp1257", 1257}, {"windows-1257", 1257}, {"x-cp1257", 1257},
    {"cp1258", 1258}, {"windows-1258", 1258}, {"x-cp1258", 1258},
    {"csmacintosh", 10000}, {"mac", 10000}, {"macintosh", 10000}, {"x-mac-roman", 10000},
    // UTF-16
    {"csunicode", kCodePageUtf16Le}, {"iso-10646-ucs-2", kCodePageUtf16Le}, {"ucs-2", kCodePageUtf16Le},
    {"unicode", kCodePageUtf16Le}, {"unicodefeff", kCodePageUtf16Le}, {"utf-16", kCodePageUtf16Le},
    {"utf-16le", kCodePageUtf16Le},
    {"unicodefffe", kCodePageUtf16Be}, {"utf-16be", kCodePageUtf16Be},
};
// clang-format on

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace

std::optional<std::uint32_t> CodePageOfCharset(std::string_view name) noexcept {
    for (const Label& label : kLabels) {
        if (EqualsIgnoringAsciiCase(label.name, name)) return label.codePage;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> CodePageOfMetaCharset(std::string_view name) noexcept {
    const std::optional<std::uint32_t> codePage = CodePageOfCharset(name);
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) return 65001;
    return codePage;
}

}  // namespace quenlark
