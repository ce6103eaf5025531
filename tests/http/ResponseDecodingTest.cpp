// Bodies to code page 936 text: pages that declare a character set are decoded from it, the
// rest are taken as they are.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "http/CharsetLabels.h"
#include "http/ResponseDecoding.h"
#include "http/WebRequest.h"
#include "http/support/ScriptedServer.h"

namespace quenlark {
namespace {

std::string Encode(const std::wstring& text, UINT codePage) {
    const int n =
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::string Decode(const std::string& body) {
    ResponseDecoder decoder;
    const OwnedByteSet bytes = OwnedByteSet::CopyOf(body.data(), body.size());
    return decoder.Decode(bytes).c_str();
}

std::string Page(const std::string& head, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head>" + head + "<title>t</title></head>\n<body>" + body + "</body></html>";
}

struct Sample {
    const char* label;
    UINT codePage;
    const wchar_t* text;
};

// One label of every code page the table can name, each with text of its own script.
const Sample kSamples[] = {
    {"utf-8", 65001, L"\u4e2d\u6587 caf\u00e9"},
    {"GBK", 936, L"\u4e2d\u6587"},
    {"gb18030", 54936, L"\u4e2d\u6587"},
    {"big5", 950, L"\u4e2d\u6587\u7e41\u9ad4"},
    {"shift_jis", 932, L"\u304b\u306a\u6f22\u5b57"},
    {"euc-jp", 20932, L"\u304b\u306a\u6f22\u5b57"},
    {"iso-2022-jp", 50220, L"\u304b\u306a"},
    {"euc-kr", 949, L"\ud55c\uad6d\uc5b4"},
    {"ibm866", 866, L"\u041f\u0440\u0438\u0432\u0435\u0442"},
    {"koi8-r", 20866, L"\u041f\u0440\u0438\u0432\u0435\u0442"},
    {"koi8-u", 21866, L"\u0491\u0430\u043d\u043e\u043a"},
    {"x-mac-cyrillic", 10007, L"\u041f\u0440\u0438\u0432\u0435\u0442"},
    {"iso-8859-2", 28592, L"\u0141\u00f3d\u017a"},
    {"iso-8859-3", 28593, L"\u0126ello"},
    {"iso-8859-4", 28594, L"\u0100\u012b"},
    {"iso-8859-5", 28595, L"\u041f\u0440\u0438\u0432\u0435\u0442"},
    {"iso-8859-6", 28596, L"\u0645\u0631\u062d\u0628\u0627"},
    {"iso-8859-7", 28597, L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac"},
    {"iso-8859-8", 28598, L"\u05e9\u05dc\u05d5\u05dd"},
    {"iso-8859-8-i", 38598, L"\u05e9\u05dc\u05d5\u05dd"},
    {"iso-8859-13", 28603, L"\u0104\u017euolas"},
    {"iso-8859-15", 28605, L"\u20acuro"},
    {"windows-874", 874, L"\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35"},
    {"windows-1250", 1250, L"\u0141\u00f3d\u017a"},
    {"windows-1251", 1251, L"\u041f\u0440\u0438\u0432\u0435\u0442"},
    {"ISO-8859-1", 1252, L"caf\u00e9 na\u00efve"},
    {"windows-1253", 1253, L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac"},
    {"windows-1254", 1254, L"T\u00fcrk\u00e7e"},
    {"windows-1255", 1255, L"\u05e9\u05dc\u05d5\u05dd"},
    {"windows-1256", 1256, L"\u0645\u0631\u062d\u0628\u0627"},
    {"windows-1257", 1257, L"\u0104\u017euolas"},
    {"windows-1258", 1258, L"Vi\u00ea\u0323t"},
    {"macintosh", 10000, L"caf\u00e9"},
};

// A code page whose table this system lacks decodes with its close relative, or not at all.
UINT DecodingCodePage(UINT codePage) {
    if (::IsValidCodePage(codePage)) return codePage;
    if (codePage == 54936) return 936;
    if (codePage == 38598) return 28598;
    return 0;
}

TEST(ResponseDecoding, EachDeclaredCharacterSetIsDecoded) {
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.label);
        const UINT decoding = DecodingCodePage(sample.codePage);
        const UINT encoding = ::IsValidCodePage(sample.codePage) ? sample.codePage : decoding;
        if (encoding == 0) {
            // Nothing on this system can write or read it: the page comes back as it is.
            const std::string page = Page("<meta charset=\"" + std::string(sample.label) + "\">", "plain");
            EXPECT_EQ(Decode(page), page);
            continue;
        }
        const std::string head = "<meta charset=\"" + std::string(sample.label) + "\">";
        const std::string written = Page(head, Encode(sample.text, encoding));
        const std::string expected = Page(head, Encode(sample.text, 936));
        EXPECT_EQ(Decode(written), expected);
    }
}

TEST(ResponseDecoding, TheMetaTagDecidesInItsCommonForms) {
    const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
    const std::string gbk = "\xD6\xD0\xCE\xC4";
    EXPECT_EQ(Decode(Page("<meta charset=utf-8>", utf8)), Page("<meta charset=utf-8>", gbk));
    EXPECT_EQ(Decode(Page("<META CHARSET='UTF-8'>", utf8)), Page("<META CHARSET='UTF-8'>", gbk));
    const std::string equiv = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
    EXPECT_EQ(Decode(Page(equiv, utf8)), Page(equiv, gbk));
}

TEST(ResponseDecoding, LocalNamesUnknownNamesAndMisplacedTagsKeepTheRawText) {
    const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87";
    for (const char* head : {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">",
                             "<meta charset=gbk>", "<meta charset=\"no-such-set\">", "<meta\ncharset=utf-8>"}) {
        const std::string page = Page(head, utf8);
        EXPECT_EQ(Decode(page), page) << head;
    }
    // A declaration beyond the first 1024 bytes is not seen.
    const std::string late = Page(std::string(1100, ' ') + "<meta charset=utf-8>", utf8);
    EXPECT_EQ(Decode(late), late);
    // GBK in capitals is not a local name: it goes through the converter and comes back equal.
    const std::string gbkPage = Page("<meta charset=GBK>", "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(Decode(gbkPage), gbkPage);
}

TEST(ResponseDecoding, RawTextEndsAtTheFirstNulAndAnEmptyBodyIsEmpty) {
    EXPECT_EQ(Decode(std::string("before\0after", 12)), "before");
    EXPECT_EQ(Decode(""), "");
}

TEST(ResponseDecoding, Utf16IsDecodedWithoutASystemTable) {
    const std::string le("\x2D\x4E\x87\x65", 4);  // 中文, little-endian
    const std::string be("\x4E\x2D\x65\x87", 4);
    EXPECT_STREQ(ConvertToCp936(le, kCodePageUtf16Le)->c_str(), "\xD6\xD0\xCE\xC4");
    EXPECT_STREQ(ConvertToCp936(be, kCodePageUtf16Be)->c_str(), "\xD6\xD0\xCE\xC4");
    EXPECT_FALSE(ConvertToCp936("x", 12345).has_value());  // no such code page: keep the raw text
}

TEST(ResponseDecoding, AUtf16MetaTagOnAnAsciiCompatiblePageReadsItAsUtf8) {
    const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
    for (const char* head : {"<meta charset=\"utf-16\">", "<meta charset=utf-16le>", "<meta charset=UTF-16BE>"}) {
        EXPECT_EQ(Decode(Page(head, utf8)), Page(head, "\xD6\xD0\xCE\xC4")) << head;
    }
}

TEST(ResponseDecoding, AFailedConversionBackKeepsTheRawText) {
    const auto failing = [](std::u16string_view, OwnedText&) noexcept { return ConversionResult::kOutOfMemory; };
    EXPECT_FALSE(ConvertToCp936("\xE4\xB8\xAD", 65001, failing).has_value());
    EXPECT_STREQ(ConvertToCp936("\xE4\xB8\xAD", 65001)->c_str(), "\xD6\xD0");
    // A decoded text that starts with NUL is empty by rule, not by failure.
    const std::optional<OwnedText> nul = ConvertToCp936(std::string_view("\0a", 2), 65001, failing);
    ASSERT_TRUE(nul.has_value());
    EXPECT_EQ(nul->Get(), nullptr);
}

TEST(ResponseDecoding, AUtf8PageArrivesAsCodePage936ThroughARequest) {
    testing_support::ScriptedServer server;
    ASSERT_TRUE(server.Ready()) << server.StartError();
    const std::string page = Page("<meta charset=\"utf-8\">", "\xE4\xB8\xAD\xE6\x96\x87");
    ASSERT_TRUE(server.Script("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                              std::to_string(page.size()) + "\r\n\r\n" + page));
    OwnedByteSet bytes;
    const std::string url = server.HttpUrl("/page");
    const OwnedText text = WebRequest({.url = url.c_str(), .responseBytes = &bytes});
    EXPECT_EQ(std::string(text.c_str()), Page("<meta charset=\"utf-8\">", "\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(bytes.view(), page);  // the raw bytes stay as they came
}

}  // namespace
}  // namespace quenlark
