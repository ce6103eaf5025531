// Header assembly on arbitrary caller headers and cookies: the defaults and the cookies are
// there, normalising keeps what it must, and the bytes are those that the first version, over
// the text commands (kept below as the reference), gave.
#include "FuzzSupport.h"
#include "http/RequestHeaders.h"
#include "runtime/TextCommands.h"
#include "runtime/Texts.h"
#include "runtime/commands/TextCommands.h"

using namespace quenlark;
using namespace quenlark::fuzz;

namespace {

// Lines as the header code sees them: split at CR LF pairs that stand at character starts.
std::vector<std::string> Lines(const char* block) {
    std::vector<std::string> lines;
    const OwnedTextArray pieces = SplitText(block, "\r\n");
    for (std::size_t i = 1; i <= pieces.size(); ++i) lines.push_back(pieces.At(i) ? pieces.At(i) : "");
    return lines;
}

// ---- The reference: a new text per step and per piece -------------------------------------

namespace reference {

// The default lines in their order, each with the length of its probe (the name and the blank
// after its colon; the form's type has no blank in it).
struct DefaultLine {
    const char* line;
    std::int32_t probeLength;
    bool postOnly;
};
const DefaultLine kDefaults[] = {
    {"User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n", 12, false},
    {"Accept: text/html, application/xhtml+xml, */*\r\n", 8, false},
    {"Accept-Encoding: gbk, GB2312\r\n", 17, false},
    {"Accept-Language: zh-cn\r\n", 17, false},
    {"Content-Type: application/x-www-form-urlencoded\r\n", 13, true},
    {"Cache-Control: no-cache\r\n", 15, false},
};

OwnedText CapitalizeFirst(const char* word) {
    if (!word || !*word) return {};
    OwnedText copy = OwnedText::CopyOf(word);
    char& first = copy.Get()[0];
    if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
    return copy;
}

OwnedText NormalizeHeaderNames(const char* block) {
    const OwnedTextArray lines = SplitText(block, "\r\n");
    OwnedText output;
    for (std::size_t i = 1; i <= lines.size(); ++i) {
        const char* line = lines.At(i);
        const std::int32_t colon = FindText(line, ":", std::nullopt, false);
        if (colon == -1) continue;
        const OwnedText name = TextLeft(line, colon - 1);
        OwnedText newName;
        if (FindText(name.Get(), "-") != -1) {
            const OwnedTextArray words = SplitText(name.Get(), "-");
            for (std::size_t w = 1; w <= words.size(); ++w) {
                newName = ConcatTexts({newName.Get(), w > 1 ? "-" : "", CapitalizeFirst(words.At(w)).Get()});
            }
        } else {
            newName = CapitalizeFirst(name.Get());
        }
        const OwnedText rest = TextRight(line, TextLength32(line) - TextLength32(newName.Get()));
        output = ConcatTexts({output.Get(), newName.Get(), rest.Get(), "\r\n"});
    }
    return TextLeft(output.Get(), TextLength32(output.Get()) - 2);
}

OwnedText HeaderValue(const char* block, const char* name) {
    const OwnedTextArray lines = SplitText(block, "\r\n");
    const OwnedText marker = ConcatTexts({name, ": "});
    for (std::size_t i = 1; i <= lines.size(); ++i) {
        const char* line = lines.At(i);
        if (CompareText(TextLeft(line, TextLength32(name)).Get(), name, true) != 0) continue;
        const std::int32_t at = FindText(line, marker.Get());
        if (at == -1) return {};
        const std::int32_t valueStart = at + TextLength32(marker.Get());
        return TextMiddle(line, valueStart, TextLength32(line) - valueStart + 1);
    }
    return {};
}

OwnedText BuildRequestHeaders(const char* requestHeaders, std::int32_t method, const char* sendCookies,
                              bool addDefaultHeaders, bool normalizeHeaders) {
    OwnedText block = *requestHeaders ? ConcatTexts({requestHeaders, "\r\n"}) : OwnedText();
    if (addDefaultHeaders) {
        for (const DefaultLine& header : kDefaults) {
            if (header.postOnly && method != 1) continue;
            if (FindText(block.Get(), TextLeft(header.line, header.probeLength).Get(), std::nullopt, true) == -1)
                block = ConcatTexts({block.Get(), header.line});
        }
    }
    if (normalizeHeaders) block = NormalizeHeaderNames(block.Get());
    if (FindText(block.Get(), "Connection") != -1 &&
        CompareText(HeaderValue(block.Get(), "Connection").Get(), "keep-alive", true) == 0) {
        block = ReplaceSubText(block.Get(), "Connection: keep-alive\r\n", {.replacement = "", .caseSensitive = true});
    }
    if (FindText(block.Get(), "Cookie:", std::nullopt, true) == -1 && *sendCookies) {
        const bool wholeLine = FindText(sendCookies, "Cookie:", std::nullopt, true) != -1;
        block = ConcatTexts({block.Get(), wholeLine ? "\r\n" : "\r\nCookie: ", sendCookies, "\r\n"});
    }
    return block;
}

}  // namespace reference

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::string headers = TakeText(input);
    // Make line breaks likely, and the lines that are looked for.
    for (char& c : headers) {
        if (c == '\x01') c = '\r';
        if (c == '\x02') c = '\n';
    }
    static const char* const kLines[] = {"Connection: keep-alive\r\n", "connection: keep-alive\r\n", "Cookie: c=1\r\n",
                                         "user-agent: x-y\r\n"};
    for (int i = input.ConsumeIntegralInRange(0, 2); i > 0; --i) {
        const std::size_t at = input.ConsumeIntegralInRange<std::size_t>(0, headers.size());
        headers.insert(at, kLines[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kLines) - 1)]);
    }
    const std::string cookies = TakeText(input, 32);
    const int method = input.ConsumeIntegralInRange(-1, 8);
    const bool defaults = input.ConsumeBool();
    const bool normalize = input.ConsumeBool();

    // Normalising keeps every line that has a colon, with its length, changing only the case
    // of letters, and drops the others.
    const OwnedText normalized = NormalizeHeaderNames(headers.c_str());
    CheckTextBlock(normalized);
    std::vector<std::string> kept;
    for (const std::string& line : Lines(headers.c_str())) {
        if (FindText(line.c_str(), ":") != -1) kept.push_back(line);  // a colon that starts a character
    }
    const std::vector<std::string> out = Lines(normalized.Get());
    FUZZ_CHECK(out.size() == kept.size());
    for (std::size_t i = 0; i < out.size() && i < kept.size(); ++i) FUZZ_CHECK(EqualIgnoringAsciiCase(out[i], kept[i]));

    FUZZ_CHECK(Same(normalized, reference::NormalizeHeaderNames(headers.c_str())));
    const std::string name = input.ConsumeBool() ? "Connection" : TakeText(input, 12);
    FUZZ_CHECK(Same(HeaderValue(headers.c_str(), name.c_str()), reference::HeaderValue(headers.c_str(), name.c_str())));

    const OwnedText block = BuildRequestHeaders(headers.c_str(), method, cookies.c_str(), defaults, normalize);
    CheckTextBlock(block);
    // The same bytes; where removing the keep-alive line left nothing, null now stands for "".
    FUZZ_CHECK(Str(block) ==
               Str(reference::BuildRequestHeaders(headers.c_str(), method, cookies.c_str(), defaults, normalize)));
    std::string lower = Str(block);
    for (char& c : lower) c = Fold(c);
    if (defaults) {
        for (const char* probe :
             {"user-agent: ", "accept: ", "accept-encoding: ", "accept-language: ", "cache-control: "}) {
            FUZZ_CHECK(lower.find(probe) != std::string::npos);
        }
        if (method == 1) FUZZ_CHECK(lower.find("content-type:") != std::string::npos);
    }
    if (!cookies.empty()) FUZZ_CHECK(lower.find("cookie:") != std::string::npos);
    return 0;
}
